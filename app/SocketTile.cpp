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

    QFont big = name_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    name_->setFont(big);
    QFont serialFont = serial_->font();
    serialFont.setPointSizeF(serialFont.pointSizeF() * 1.25);
    serial_->setFont(serialFont);
    QFont stateFont = state_->font();
    stateFont.setBold(true);
    stateFont.setPointSizeF(stateFont.pointSizeF() * 1.6);
    state_->setFont(stateFont);

    auto* head = new QHBoxLayout;
    head->addWidget(name_, 2);
    head->addWidget(link_, 3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    layout->addLayout(head);
    layout->addWidget(serial_);
    layout->addWidget(state_);
    layout->addWidget(detail_);
    layout->addWidget(progress_);
    layout->addWidget(counts_);
    for (FitLabel* l : {name_, link_, serial_, state_, counts_}) {
        l->setMinimumHeight(QFontMetrics(l->font()).height());
        l->setMinimumWidth(16);  // a panel shrinks its text rather than widen the tile
    }
    detail_->setMinimumWidth(16);
}

void SocketTile::show(const SocketShown& s, const Recipe& recipe, int language) {
    using S = SocketShown::State;
    shown_ = s;
    name_->setText(s.name);
    link_->setText(s.link);
    serial_->setText(s.serial.isEmpty() ? Text(StationText::NoValue, language) : s.serial);
    const int steps = int(recipe.steps.size());
    const auto stepName = [&](int i) { return i >= 0 && i < steps ? StepName(recipe.steps.at(i), language) : QString(); };
    QString state;
    QString detail;
    bool bar = false;
    switch (s.state) {
        case S::Empty:
            state = Text(GangText::StateEmpty, language);
            detail = s.linkProblem;
            break;
        case S::Waiting:
            state = Text(GangText::StateWaiting, language);
            break;
        case S::Running:
            state = s.attempt > 1 ? Text(GangText::StateRunningTry, language).arg(s.step + 1).arg(steps).arg(s.attempt)
                                  : Text(GangText::StateRunning, language).arg(s.step + 1).arg(steps);
            bar = s.total > 0;
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
            break;
        }
        case S::OutOfUse:
            state = Text(GangText::StateOutOfUse, language);
            detail = s.outOfUse;
            break;
    }
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
