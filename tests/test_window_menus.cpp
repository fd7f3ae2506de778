// Every menu entry in each language, as the menus draw it: the entry's table text, its
// accelerator well formed, and drawn whole (not shortened to fit). What a menu draws is
// taken from its paint calls, not from its captions. With PANELBENCH_SCREENSHOT_DIR set,
// each drop-down menu is saved there as menu-NAME-LANGUAGE.png.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEngine>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include "app/RecordsWindow.h"
#include "app/TfrmModule.h"
#include "app/TrafficMonitorWindow.h"
#include "i18n/Messages.h"
#include "i18n/OverviewTexts.h"
#include "i18n/RecordsTexts.h"
#include "i18n/StationTexts.h"
#include "i18n/TrafficTexts.h"

namespace {

// A paint device that keeps the text a widget draws on it, run by run, and nothing else.
class TextCatcher : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &engine_; }
    QString text() const { return engine_.texts.join(QString()); }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
            case PdmWidth:
            case PdmHeight:
                return 4000;
            case PdmWidthMM:
            case PdmHeightMM:
                return 1000;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 96;
            case PdmDepth:
                return 32;
            case PdmNumColors:
                return 0x7fffffff;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        Type type() const override { return QPaintEngine::User; }
        QStringList texts;
    };
    mutable Engine engine_;
};

QString Drawn(QWidget* w) {
    TextCatcher catcher;
    w->render(&catcher);
    return catcher.text();
}

// The text of each entry of the window's menus, by the entry's object name.
QHash<QString, QString> TableTexts(int language) {
    const pb::Language l = pb::LanguageAt(language);
    return {
        {"mnuFile", pb::Msg(pb::MsgId::MenuFile, l)},
        {"mnuFirmwareFile", pb::Msg(pb::MsgId::MenuFirmwareFile, l)},
        {"mnuOperator", pb::Text(pb::RecordText::MenuOperator, language)},
        {"mnuSharedRecords", pb::Text(pb::RecordText::MenuSharedRecords, language)},
        {"mnuStation", pb::Text(pb::StationText::MenuEntry, language)},
        {"mnuExit", pb::Msg(pb::MsgId::MenuExit, l)},
        {"mnuView", pb::Text(pb::RecordText::MenuView, language)},
        {"mnuRecords", pb::Text(pb::RecordText::MenuRecords, language)},
        {"mnuTrafficMonitor", pb::Text(pb::TrafficText::MenuEntry, language)},
        {"mnuLineOverview", pb::Text(pb::OverviewText::MenuEntry, language)},
        {"mnuLanguage", pb::Msg(pb::MsgId::MenuLanguage, l)},
        // Each language's entry in its own language, whatever the window's.
        {"mnuEnglish", pb::Msg(pb::MsgId::MenuLanguageItem, pb::Language::English)},
        {"mnuSimplified", pb::Msg(pb::MsgId::MenuLanguageItem, pb::Language::SimplifiedChinese)},
        {"mnuTraditional", pb::Msg(pb::MsgId::MenuLanguageItem, pb::Language::TraditionalChinese)},
        {"mnuAbout", pb::Msg(pb::MsgId::MenuAbout, l)},
    };
}

// One accelerator at most, on a letter; brackets closed; "..." only at the end; no
// shortened text.
QString CaptionFault(const QString& caption) {
    const QString plain = QString(caption).replace(QStringLiteral("&&"), QString());
    if (plain.count(u'&') > 1) return QStringLiteral("more than one accelerator");
    if (const qsizetype at = plain.indexOf(u'&'); at >= 0 && (at + 1 >= plain.size() || !plain.at(at + 1).isLetterOrNumber()))
        return QStringLiteral("accelerator on no letter");
    if (plain.contains(u'…')) return QStringLiteral("shortened");
    if (plain.count(u'(') != plain.count(u')') || plain.indexOf(u')') < plain.indexOf(u'('))
        return QStringLiteral("stray bracket");
    if (const qsizetype dots = plain.indexOf(QStringLiteral("...")); dots >= 0 && dots != plain.size() - 3)
        return QStringLiteral("\"...\" not at the end");
    return {};
}

struct MenuShot {
    int language;
    const char* name;
};

class MenuCaptions : public ::testing::TestWithParam<MenuShot> {};

}  // namespace

TEST_P(MenuCaptions, EveryEntryIsItsTableTextWellFormedAndDrawnWhole) {
    QApplication::setQuitOnLastWindowClosed(false);
    const int language = GetParam().language;
    TfrmModule window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QList<QAction*> choices = {window.ui().mnuEnglish, window.ui().mnuSimplified, window.ui().mnuTraditional};
    choices.at(language)->trigger();
    // The other windows with their own menus, if they have any.
    window.ui().mnuRecords->trigger();
    window.ui().mnuTrafficMonitor->trigger();
    // Entries hidden until a controller is identified are drawn then: show them all.
    window.ui().mnuFirmwareFile->setVisible(true);
    window.ui().mnuLine1->setVisible(true);
    // The bar lays its entries out again once the new font and captions are in.
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.ui().mnuMain->actionGeometry(window.ui().mnuAbout).width() > 0; }));
    QCoreApplication::processEvents();

    // No shared server here: the greyed Line overview says how to set one.
    EXPECT_FALSE(window.ui().mnuLineOverview->isEnabled());
    EXPECT_EQ(window.ui().mnuLineOverview->toolTip(), pb::Text(pb::OverviewText::NoServerHint, language));

    const QHash<QString, QString> expected = TableTexts(language);
    QList<QWidget*> windows = {&window};
    if (window.recordsWindow()) windows << window.recordsWindow();
    if (window.trafficMonitorWindow()) windows << window.trafficMonitorWindow();
    QSet<QString> met;
    for (QWidget* w : windows) {
        QList<QWidget*> menus;
        for (QMenuBar* bar : w->findChildren<QMenuBar*>()) menus << bar;
        // The bar's own overflow menu (unnamed) repeats the bar's entries.
        for (QMenu* menu : w->findChildren<QMenu*>())
            if (!menu->objectName().isEmpty()) menus << menu;
        for (QWidget* menu : menus) {
            SCOPED_TRACE(menu->objectName().toStdString());
            if (auto* m = qobject_cast<QMenu*>(menu)) {
                m->popup(QPoint(0, 0));
                ASSERT_TRUE(QTest::qWaitForWindowExposed(m));
            }
            const QString drawn = Drawn(menu);
            for (QAction* action : menu->actions()) {
                if (action->isSeparator() || !action->isVisible()) continue;
                const QString name = action->objectName();
                met.insert(name);
                SCOPED_TRACE(name.toStdString());
                ASSERT_TRUE(expected.contains(name)) << "an entry without a table text: "
                                                     << action->text().toStdString();
                EXPECT_EQ(action->text(), expected.value(name));
                EXPECT_EQ(CaptionFault(action->text()), QString()) << action->text().toStdString();
                const QString shown = QString(action->text()).remove(u'&');
                EXPECT_TRUE(drawn.contains(shown)) << "drawn: " << drawn.toStdString() << "\nnot: " << shown.toStdString();
            }
            const QString folder = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
            if (!folder.isEmpty() && qobject_cast<QMenu*>(menu))
                menu->grab().save(QStringLiteral("%1/menu-%2-%3.png")
                                      .arg(folder, menu->objectName(), QLatin1String(GetParam().name)));
            if (auto* m = qobject_cast<QMenu*>(menu)) m->hide();
        }
    }
    EXPECT_EQ(met, QSet<QString>(expected.keyBegin(), expected.keyEnd()));  // every entry met
}

INSTANTIATE_TEST_SUITE_P(Window, MenuCaptions,
                         ::testing::Values(MenuShot{0, "en"}, MenuShot{1, "zh-hans"}, MenuShot{2, "zh-hant"}),
                         [](const auto& info) { return std::to_string(info.param.language); });
