#include "app/SocketTile.h"

#include "i18n/CauseTexts.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QGridLayout>
#include <QProgressBar>
#include <QVBoxLayout>

#include "app/FitLabel.h"
#include "catalogue/StepNames.h"
#include "i18n/GangTexts.h"
#include "i18n/RecipeTexts.h"
#include "i18n/StationTexts.h"

namespace pb {
namespace {

FitLabel* Named(FitLabel* label, const char* name) {
    label->setObjectName(QLatin1String(name));
    return label;
}

struct Look {
    QColor background;
    QColor text;
};

Look LookOf(SocketShown::State state) {
    using S = SocketShown::State;
    switch (state) {
        case S::Empty:
            return {QColor(236, 236, 236), QColor(48, 48, 48)};
        case S::Waiting:
            return {QColor(255, 240, 170), Qt::black};
        case S::Running:
            return {QColor(255, 214, 0), Qt::black};
        case S::Pass:
            return {QColor(0, 150, 40), Qt::white};
        case S::Fail:
            return {QColor(200, 0, 0), Qt::white};
        case S::OutOfUse:
            return {QColor(150, 150, 150), QColor(32, 32, 32)};
    }
    return {};
}

}  // namespace

SocketTile::SocketTile(QWidget* parent) : QFrame(parent) {
    setAttribute(Qt::WA_StyledBackground);
    setFocusPolicy(Qt::NoFocus);  // the serial field keeps the focus
    name_ = Named(new FitLabel(this), "pnSocket");
    link_ = Named(new FitLabel(this), "pnSocketLink");
    link_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    serial_ = Named(new FitLabel(this), "pnSocketSerial");
    state_ = Named(new FitLabel(this), "pnSocketState");
    detail_ = new QLabel(this);
    detail_->setObjectName(QStringLiteral("lblSocketDetail"));
    detail_->setWordWrap(true);
    detail_->setContentsMargins(2, 0, 2, 0);  // in line with the panels' text
    detail_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    detailFont_ = detail_->font();
    detail_->setFixedHeight(2 * QFontMetrics(detailFont_).lineSpacing() + 2);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("pbSocket"));
    progress_->setTextVisible(true);
    progress_->setFixedHeight(14);
    QSizePolicy keep = progress_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);  // the tile keeps its size as a bar comes and goes
    progress_->setSizePolicy(keep);
    counts_ = Named(new FitLabel(this), "pnSocketCounts");
    brief_ = Named(new FitLabel(this), "pnSocketBrief");
    brief_->hide();

    head_ = new QHBoxLayout;
    head_->addWidget(name_, 2);
    head_->addWidget(link_, 3);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(8, 6, 8, 6);
    layout_->setSpacing(2);
    layout_->addLayout(head_);
    layout_->addWidget(serial_);
    layout_->addWidget(state_);
    layout_->addWidget(detail_);
    layout_->addWidget(progress_);
    layout_->addWidget(counts_);
    layout_->addWidget(brief_);
    setFonts();
    for (FitLabel* l : {name_, link_, serial_, state_, counts_, brief_})
        l->setMinimumWidth(16);  // a panel shrinks its text rather than widen the tile
    detail_->setMinimumWidth(16);
}

void SocketTile::setFonts() {
    // The compact form's sizes give sixteen tiles room at twice the scale.
    const QFont base = font();
    const auto sized = [&](FitLabel* l, double factor, bool bold) {
        QFont f = base;
        f.setBold(bold);
        f.setPointSizeF(base.pointSizeF() * factor);
        l->setFont(f);
        l->setMinimumHeight(QFontMetrics(f).height());
    };
    sized(name_, compact_ ? 1.2 : 1.5, true);
    sized(serial_, compact_ ? 1.0 : 1.25, false);
    sized(state_, compact_ ? 1.25 : 1.6, true);
    sized(link_, 1.0, false);
    sized(counts_, 1.0, false);
    sized(brief_, 1.0, false);
}

void SocketTile::setCompact(bool compact) {
    if (compact == compact_) return;
    compact_ = compact;
    // The serial beside the socket's name in the compact form, under it otherwise.
    layout_->removeWidget(serial_);
    head_->removeWidget(serial_);
    head_->removeWidget(link_);
    if (compact) {
        head_->addWidget(serial_, 3);
        serial_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout_->setContentsMargins(7, 4, 7, 4);
        layout_->setSpacing(1);
    } else {
        head_->addWidget(link_, 3);
        layout_->insertWidget(1, serial_);
        serial_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        layout_->setContentsMargins(8, 6, 8, 6);
        layout_->setSpacing(2);
    }
    link_->setVisible(!compact);
    detail_->setVisible(!compact);
    counts_->setVisible(!compact);
    brief_->setVisible(compact);
    // The compact form keeps no room for a bar.
    QSizePolicy keep = progress_->sizePolicy();
    keep.setRetainSizeWhenHidden(!compact);
    progress_->setSizePolicy(keep);
    if (compact) progress_->hide();
    setFonts();
    if (lookKey_ >= 0) {
        lookKey_ = -1;  // the style sheet again: it sets the labels' colours
        if (recipe_) show(shown_, *recipe_, language_);
    }
}

void SocketTile::show(const SocketShown& s, const Recipe& recipe, int language) {
    using S = SocketShown::State;
    shown_ = s;
    recipe_ = &recipe;
    language_ = language;
    name_->setText(s.name);
    link_->setText(s.link);
    serial_->setText(s.serial.isEmpty() ? Text(StationText::NoValue, language) : s.serial);
    const int steps = int(recipe.steps.size());
    const auto stepName = [&](int i) { return i >= 0 && i < steps ? StepName(recipe.steps.at(i), language) : QString(); };
    QString state;
    QString detail;
    QString brief;  // the compact form's line
    bool bar = false;
    switch (s.state) {
        case S::Empty:
            state = Text(GangText::StateEmpty, language);
            detail = s.linkProblem;
            brief = s.linkProblem;
            break;
        case S::Waiting:
            state = Text(GangText::StateWaiting, language);
            break;
        case S::Running:
            state = s.attempt > 1 ? Text(GangText::StateRunningTry, language).arg(s.step + 1).arg(steps).arg(s.attempt)
                                  : Text(GangText::StateRunning, language).arg(s.step + 1).arg(steps);
            bar = s.total > 0 && !compact_;
            if (!s.awaiting.isEmpty()) {
                // A controller that stopped answering: what the unit waits for, and how long.
                detail = FillArgs(Text(GangText::DetailAwaiting, language),
                                  {stepName(s.step), s.awaiting, QString::number(s.awaitingS)});
                brief = FillArgs(Text(GangText::BriefAwaiting, language), {s.awaiting, QString::number(s.awaitingS)});
                break;
            }
            brief = stepName(s.step);
            detail = !bar                    ? stepName(s.step)
                     : s.phase == u"program" ? Text(GangText::DetailProgram, language)
                     : s.phase == u"verify"  ? Text(GangText::DetailVerify, language)
                                             : Text(GangText::DetailProgress, language);
            if (bar) detail = FillArgs(detail, {stepName(s.step), QString::number(s.done), QString::number(s.total)});
            if (bar && s.leftS >= 0 && (s.phase == u"program" || s.phase == u"verify"))
                detail += Text(GangText::TimeLeft, language).arg(s.leftS);
            break;
        case S::Pass:
            state = Text(GangText::StatePass, language);
            break;
        case S::Fail: {
            state = Text(GangText::StateFail, language);
            const int i = s.verdict.failingStep;
            const QString why = CauseText(s.verdict.cause, language);
            detail = i >= 0 ? FillArgs(Text(GangText::DetailFail, language), {QString::number(i + 1), stepName(i), why})
                            : why;
            brief = CauseTitle(s.verdict.cause.code, language);
            break;
        }
        case S::OutOfUse:
            state = Text(GangText::StateOutOfUse, language);
            detail = s.outOfUse;
            brief = s.outOfUse;
            break;
    }
    brief_->setText(brief);
    brief_->setToolTip(detail);
    state_->setText(state);
    detail_->setText(detail);
    // The whole reason on hover: a long one is shrunk, then cut.
    detail_->setToolTip(detail);
    fitDetail();
    progress_->setVisible(bar);
    if (bar) {
        progress_->setRange(0, s.total);
        progress_->setValue(std::min(s.done, s.total));
    }
    counts_->setText(Text(StationText::CountPassed, language).arg(s.passed) + QStringLiteral("   ") +
                     Text(StationText::CountFailed, language).arg(s.failed));

    // A style sheet is costly to apply: only when the look changes, not at each block.
    const int lookKey = int(s.state) * 2 + (s.next ? 1 : 0);
    if (lookKey == lookKey_) return;
    lookKey_ = lookKey;
    const Look look = LookOf(s.state);
    // One border width always: the tiles never move as the next one is marked.
    const QColor border = s.next ? QColor(0, 90, 230) : look.background.darker(130);
    setStyleSheet(QStringLiteral("pb--SocketTile { background-color: %1; border: 4px solid %2; border-radius: 4px; }"
                                 " QLabel { color: %3; background: transparent; }")
                      .arg(look.background.name())
                      .arg(border.name(), look.text.name()));
}

void SocketTile::fitDetail() {
    // The designed size when two lines hold it, else smaller, down to FitLabel's floor.
    QFont f = detailFont_;
    const int designed = QFontInfo(detailFont_).pixelSize();
    const int smallest = std::max(1, designed * FitLabel::kSmallestPercent / 100);
    const int width = detail_->contentsRect().width();
    for (int size = designed; size >= smallest; --size) {
        f.setPixelSize(size);
        const QRect need = QFontMetrics(f).boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, detail_->text());
        if (need.height() <= detail_->contentsRect().height()) break;
    }
    detail_->setFont(f);
}

bool SocketTile::detailFits() const {
    if (compact_) return brief_->shownText() == brief_->text();
    const QRect need = detail_->fontMetrics().boundingRect(QRect(0, 0, detail_->contentsRect().width(), 10000),
                                                           Qt::TextWordWrap, detail_->text());
    return need.height() <= detail_->contentsRect().height() && need.width() <= detail_->contentsRect().width();
}

void SocketTile::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    fitDetail();
}

void SocketTile::contextMenuEvent(QContextMenuEvent* event) {
    emit menuAsked(event->globalPos());
}

}  // namespace pb
