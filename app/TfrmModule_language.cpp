// The window in the current language: font, menu check marks and captions, and the
// three language menu items.
#include <QFileDialog>
#include <QMenu>
#include <algorithm>

#include "app/TfrmModule.h"
#include "app/TestButtons.h"
#include "app/WindowColours.h"
#include "app/WindowFont.h"
#include "i18n/FileFilterTexts.h"
#include "i18n/LanguageFont.h"
#include "i18n/Messages.h"

using enum pb::MsgId;

namespace {

// A drop-down menu sizes its entries by one measure of their text and draws them by
// another, which for some fonts (the Chinese ones here) comes out wider: the widest entry
// was drawn shortened in its middle ("測試站模…)..."). The menu is made as much wider as
// the two measures differ, and a space more.
void FitMenuToCaptions(QMenu* menu) {
    menu->setMinimumWidth(0);
    const QFontMetrics fm(menu->font());
    int shortfall = 0;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        const QString shown = QString(action->text()).remove(u'&');
        const int sized = fm.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, action->text()).width();
        shortfall = std::max(shortfall, fm.horizontalAdvance(shown) - sized);
    }
    menu->setMinimumWidth(menu->sizeHint().width() + shortfall + fm.horizontalAdvance(u' '));
}

}  // namespace

void TfrmModule::applyLanguageFont() {
    const pb::LanguageFont font = pb::LanguageFontFor(pb::LanguageIndex(language_));
    setFont(pb::WindowFontFor(font, this->font()));
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, pb::ColourFromBgr(font.colour));
    setPalette(palette);
}

void TfrmModule::ApplyLanguage() {
    auto& u = ui_;
    // 1. Font.
    applyLanguageFont();
    // 2. Check marks.
    u.mnuEnglish->setChecked(language_ == pb::Language::English);
    u.mnuSimplified->setChecked(language_ == pb::Language::SimplifiedChinese);
    u.mnuTraditional->setChecked(language_ == pb::Language::TraditionalChinese);
    // 3. Caption.
    setWindowTitle(Msg(Caption));
    // 4. Language menu; each language item always in its own language.
    u.mnuLanguage->setText(Msg(MenuLanguage));
    u.mnuEnglish->setText(pb::Msg(MenuLanguageItem, pb::Language::English));
    u.mnuSimplified->setText(pb::Msg(MenuLanguageItem, pb::Language::SimplifiedChinese));
    u.mnuTraditional->setText(pb::Msg(MenuLanguageItem, pb::Language::TraditionalChinese));
    // 5. The other menu items.
    u.mnuFile->setText(Msg(MenuFile));
    u.mnuFirmwareFile->setText(Msg(MenuFirmwareFile));
    u.mnuAbout->setText(Msg(MenuAbout));
    u.mnuExit->setText(Msg(MenuExit));
    applyRecordsLanguage();
    // 6. Link selector.
    u.pcPort->setTabText(u.pcPort->indexOf(u.tsNet), Msg(PageNet));
    u.pcPort->setTabText(u.pcPort->indexOf(u.tsCom), Msg(PageCom));
    u.lblPort->setText(Msg(Port));
    u.lblNetPort->setText(Msg(Port));
    u.lblSpeed->setText(Msg(Speed));
    // 7. Test pages.
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsTest), Msg(BasicTest));
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsCommand), Msg(CommandTest));
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsFunction), Msg(FunctionTest));
    u.pcMain->setTabText(u.pcMain->indexOf(u.tsFirmware), Msg(FirmwareUpgrade));
    // 8. Connect, and the test page; a running DI/DO or polling test keeps its cancel
    // caption.
    u.btnConnect->setText(Msg(ConnectDevice));
    u.tsTest->applyLanguage(language_, state_.didoRunning, state_.pollingRunning);
    pb::CaptionTestButtons(this, pb::LanguageIndex(language_));
    ui_.cmbPort->setLanguage(pb::LanguageIndex(language_));
    // 9. Status line.
    u.pnMsg->setText(Msg(StartConnectDevice));
    // 10. Command consoles.
    u.tsCommand->applyLanguage(language_);
    // 11. Firmware note and button.
    u.tsFirmware->applyLanguage(language_);
    if (dlgLoad_) dlgLoad_->setNameFilters(pb::FirmwareFileFilters(pb::LanguageIndex(language_)));
    // 12. The drop-down menus, once their font and captions are set.
    for (QMenu* menu : {u.mnuFileMenu, u.mnuViewMenu, u.mnuLanguageMenu}) FitMenuToCaptions(menu);
}

void TfrmModule::chooseLanguage(pb::Language language) {
    language_ = language;
    settings_.language = language;
    settings_.languageFlag = pb::LanguageFlagFor(language);
    pb::SaveLanguage(settings_);
    FormShow();
}

void TfrmModule::mnuEnglishClick() {
    chooseLanguage(pb::Language::English);
}
void TfrmModule::mnuSimplifiedClick() {
    chooseLanguage(pb::Language::SimplifiedChinese);
}
void TfrmModule::mnuTraditionalClick() {
    chooseLanguage(pb::Language::TraditionalChinese);
}
