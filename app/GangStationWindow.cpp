#include "app/GangStationWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FitLabel.h"
#include "app/OutOfUseDialog.h"
#include "app/ScanField.h"
#include "app/SocketTile.h"
#include "app/WindowFont.h"
#include "i18n/GangTexts.h"
#include "i18n/RecipeTexts.h"
#include "i18n/LanguageFont.h"
#include "i18n/StationTexts.h"

namespace pb {
namespace {

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Columns of the tile grid: 16 sockets make four rows of four on a 1280x1024 screen.
int ColumnsFor(int sockets) {
    return sockets <= 1 ? 1 : sockets <= 4 ? 2 : sockets <= 9 ? 3 : 4;
}

constexpr int kTileWidth = 290;
constexpr int kCompactTileWidth = 120;

}  // namespace

GangStationWindow::GangStationWindow(Fixture fixture, int language, GangRecords records, QWidget* parent)
    : QWidget(parent, Qt::Window), runner_(std::make_unique<GangRunner>(std::move(fixture), std::move(records))) {
    setObjectName(QStringLiteral("GangStationWindow"));
    since_.start();
    fixtureCaption_ = Named(new FitLabel(this), "lblFixture");
    fixtureName_ = Named(new FitLabel(this), "pnFixture");
    QFont bold = fixtureName_->font();
    bold.setBold(true);
    fixtureName_->setFont(bold);
    recipeCaption_ = Named(new FitLabel(this), "lblRecipe");
    recipeName_ = Named(new FitLabel(this), "pnRecipe");
    serialCaption_ = Named(new QLabel(this), "lblSerial");
    serial_ = Named(new QLineEdit(this), "edSerial");
    serialCaption_->setBuddy(serial_);
    serial_->installEventFilter(this);
    hint_ = Named(new QLabel(this), "lblHint");
    hint_->setWordWrap(true);

    auto* tiles = new QWidget;
    grid_ = new QGridLayout(tiles);
    grid_->setSpacing(6);
    grid_->setContentsMargins(0, 0, 0, 0);
    const int columns = ColumnsFor(int(this->fixture().sockets.size()));
    for (int i = 0; i < this->fixture().sockets.size(); ++i) {
        auto* tile = new SocketTile(tiles);
        tile->setObjectName(QStringLiteral("tile") + this->fixture().sockets[i].name);
        tile->setMinimumWidth(kTileWidth);
        connect(tile, &SocketTile::menuAsked, this, [this, i](const QPoint& at) { tileMenu(i, at); });
        grid_->addWidget(tile, i / columns, i % columns);
        tiles_ << tile;
        SocketShown s;
        s.name = this->fixture().sockets[i].name;
        shown_ << s;
    }
    area_ = Named(new QScrollArea(this), "saSockets");
    area_->setWidget(tiles);
    area_->setWidgetResizable(true);
    area_->setFrameShape(QFrame::NoFrame);
    area_->setFocusPolicy(Qt::NoFocus);

    totals_ = Named(new QLabel(this), "lblTotals");
    totals_->setWordWrap(true);  // two lines on a small screen
    QFont totalsFont = totals_->font();
    totalsFont.setBold(true);
    totalsFont.setPointSizeF(totalsFont.pointSizeF() * 1.2);
    totals_->setFont(totalsFont);
    start_ = Named(new QPushButton(this), "btnStart");
    outOfUse_ = Named(new QPushButton(this), "btnOutOfUse");
    close_ = Named(new QPushButton(this), "btnClose");
    for (QPushButton* b : {start_, outOfUse_, close_}) b->setAutoDefault(false);

    auto* head = new QGridLayout;
    head->addWidget(fixtureCaption_, 0, 0);
    head->addWidget(fixtureName_, 0, 1);
    head->addWidget(recipeCaption_, 0, 2);
    head->addWidget(recipeName_, 0, 3);
    head->addWidget(serialCaption_, 1, 0);
    head->addWidget(serial_, 1, 1, 1, 3);
    head->setColumnStretch(1, 3);
    head->setColumnStretch(3, 2);
    auto* foot = new QHBoxLayout;
    foot->addWidget(totals_, 1);
    foot->addWidget(start_);
    foot->addWidget(outOfUse_);
    foot->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(hint_);
    layout->addWidget(area_, 1);
    layout->addLayout(foot);
    setTabOrder(serial_, start_);
    setTabOrder(start_, outOfUse_);
    setTabOrder(outOfUse_, close_);

    connect(serial_, &QLineEdit::returnPressed, this, &GangStationWindow::scanEntered);
    connect(start_, &QPushButton::clicked, this, &GangStationWindow::startUnits);
    connect(outOfUse_, &QPushButton::clicked, this, &GangStationWindow::toggleOutOfUse);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(runner_.get(), &GangRunner::news, this, &GangStationWindow::taken);
    connect(runner_.get(), &GangRunner::allEnded, this, &GangStationWindow::allEnded);

    // Once a second while a unit waits for an overdue reply: how long it has waited.
    awaitingTick_ = new QTimer(this);
    awaitingTick_->setInterval(1000);
    connect(awaitingTick_, &QTimer::timeout, this, &GangStationWindow::showAwaiting);

    setLanguage(language);
    refreshLinks();
    fitInto(QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                             : QRect(0, 0, 1280, 1024));
    serial_->setFocus();
}

GangStationWindow::~GangStationWindow() = default;

QSize GangStationWindow::wantedSize() const {
    // The tiles' grid as its layout wants it now (a tile's form changed since the last look).
    grid_->invalidate();
    grid_->activate();
    const QSize tiles = grid_->sizeHint();
    const QSize around = sizeHint() - area_->sizeHint();
    // The totals on one line beside the buttons, as wide as a long shift makes them.
    const QString widest = Text(GangText::Units, language_).arg(8888) + QStringLiteral("    ") +
                           Text(StationText::CountPassed, language_).arg(8888) + QStringLiteral("    ") +
                           Text(StationText::CountFailed, language_).arg(8888) + QStringLiteral("    ") +
                           Text(StationText::CountYield, language_).arg(QStringLiteral("100.0%"));
    const int foot = totals_->fontMetrics().horizontalAdvance(widest) + start_->sizeHint().width() +
                     outOfUse_->sizeHint().width() + close_->sizeHint().width() + 60;
    return {std::max({tiles.width() + 24, sizeHint().width(), foot}), around.height() + tiles.height() + 8};
}

void GangStationWindow::fitInto(const QRect& area) {
    // The frame the window manager adds, roughly: a title bar and borders.
    const QSize frame(16, 48);
    const QSize room = area.size() - frame;
    // The full tiles when they fit, else the compact ones: every socket's verdict in view.
    const auto form = [&](bool compact) {
        compact_ = compact;
        for (SocketTile* tile : std::as_const(tiles_)) {
            tile->setCompact(compact);
            tile->setMinimumWidth(compact ? kCompactTileWidth : kTileWidth);
            tile->layout()->invalidate();
            tile->layout()->activate();
        }
    };
    form(false);
    QSize wanted = wantedSize();
    // The tiles decide, not the totals' line (it wraps).
    const int tilesWidth = grid_->sizeHint().width() + 24;
    if (tilesWidth > room.width() || wanted.height() > room.height()) {
        form(true);
        wanted = wantedSize();
    }
    resize(std::min(wanted.width(), room.width()), std::min(wanted.height(), room.height()));
    move(area.topLeft() + QPoint((room.width() - width()) / 2, (room.height() - height()) / 2));
}

const SocketShown& GangStationWindow::socket(int index) const {
    return shown_.at(index);
}

void GangStationWindow::setLanguage(int language) {
    language_ = language;
    runner_->setLanguage(LanguageAt(language));
    setFont(WindowFontFor(LanguageFontFor(language), font()));
    QFont serialFont = font();
    serialFont.setPointSizeF(serialFont.pointSizeF() * 1.6);
    serial_->setFont(serialFont);
    retranslate();
}

void GangStationWindow::retranslate() {
    const Fixture& f = fixture();
    setWindowTitle(Text(GangText::WindowTitle, language_).arg(f.name).arg(f.sockets.size()));
    fixtureCaption_->setText(Text(GangText::Fixture, language_));
    fixtureName_->setText(f.name);
    fixtureName_->setToolTip(f.sourcePath);
    recipeCaption_->setText(Text(StationText::Recipe, language_));
    recipeName_->setText(f.recipe.product);
    recipeName_->setToolTip(f.recipePath + QStringLiteral("\nSHA-256 ") + f.recipe.hashHex());
    for (FitLabel* caption : {fixtureCaption_, recipeCaption_})
        caption->setMinimumWidth(caption->fontMetrics().horizontalAdvance(caption->text()) + 8);
    for (FitLabel* name : {fixtureName_, recipeName_}) name->setMinimumWidth(40);
    serialCaption_->setText(Text(StationText::SerialNumber, language_));
    start_->setText(Text(GangText::Start, language_));
    close_->setText(Text(StationText::Close, language_));
    refreshLinks();
    showAll();
}

void GangStationWindow::refreshLinks() {
    const QList<SocketLink> links = runner_->links();
    for (int i = 0; i < shown_.size(); ++i) {
        const SocketLink& link = links[i];
        const LinkSettings& s = link.settings;
        shown_[i].link = !link.ok() ? link.label
                         : s.kind == LinkKind::Net ? Text(StationText::LinkTcp, language_).arg(s.ip, s.tcpPort)
                                                   : Text(StationText::LinkSerial, language_).arg(s.portName, s.speed);
        shown_[i].linkProblem = link.failureText(language_);
    }
}

int GangStationWindow::nextSocket() const {
    if (selected_ >= 0) return selected_;
    for (int i = 0; i < shown_.size(); ++i) {
        const SocketShown& s = shown_[i];
        if (s.state == SocketShown::State::OutOfUse) continue;
        // After a run every socket in use takes a new serial.
        if (resultsShown_ || s.serial.isEmpty()) return i;
    }
    return -1;
}

void GangStationWindow::showAll() {
    const int next = running_ ? -1 : nextSocket();
    for (int i = 0; i < tiles_.size(); ++i) {
        shown_[i].next = i == next;
        tiles_[i]->show(shown_[i], fixture().recipe, language_);
    }
    showTotals();
    const bool anySerial = std::any_of(shown_.begin(), shown_.end(), [&](const SocketShown& s) {
        return !resultsShown_ && !s.serial.isEmpty() && s.state != SocketShown::State::OutOfUse;
    });
    start_->setEnabled(!running_ && anySerial);
    const bool backIn = next >= 0 && shown_[next].state == SocketShown::State::OutOfUse;
    outOfUse_->setText(Text(backIn ? GangText::BackInUseAction : GangText::OutOfUseButton, language_));
    outOfUse_->setEnabled(!running_ && next >= 0);
    for (QPushButton* b : {start_, outOfUse_, close_})
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QString(b->text()).remove(u'&')) + 24);
    showHint();
}

void GangStationWindow::showTotals() {
    const auto yield = counts_.firstPassYield();
    const QString percent = yield ? QString::number(*yield, 'f', 1) + QLatin1Char('%')
                                  : Text(StationText::NoValue, language_);
    totals_->setText(Text(GangText::Units, language_).arg(counts_.units()) + QStringLiteral("    ") +
                     Text(StationText::CountPassed, language_).arg(counts_.passed()) + QStringLiteral("    ") +
                     Text(StationText::CountFailed, language_).arg(counts_.failed()) + QStringLiteral("    ") +
                     Text(StationText::CountYield, language_).arg(percent));
}

void GangStationWindow::showAwaiting() {
    for (auto it = awaitingSince_.cbegin(); it != awaitingSince_.cend(); ++it) {
        SocketShown& s = shown_[it.key()];
        const int seconds = int((since_.elapsed() - it.value()) / 1000);
        if (s.awaitingS == seconds) continue;
        s.awaitingS = seconds;
        tiles_[it.key()]->show(s, fixture().recipe, language_);
    }
    if (awaitingSince_.isEmpty()) awaitingTick_->stop();
}

void GangStationWindow::hint(Hint h, const QStringList& args) {
    hintShown_ = h;
    hintArgs_ = args;
    showAll();
}

void GangStationWindow::showHint() {
    // Between scans the hint names the socket marked for the next one.
    Hint h = hintShown_;
    QStringList args = hintArgs_;
    if (!running_ && (h == Hint::Next || h == Hint::Running || h == Hint::Stopping)) {
        const int next = nextSocket();
        const bool anyInUse = std::any_of(shown_.begin(), shown_.end(),
                                          [](const SocketShown& s) { return s.state != SocketShown::State::OutOfUse; });
        if (!anyInUse) h = Hint::NoneInUse;
        else if (next < 0) h = Hint::FullOnKey;
        else args = {shown_[next].name};
    }
    QString text;
    switch (h) {
        case Hint::Next: text = Text(GangText::HintNext, language_); break;
        case Hint::Selected: text = Text(GangText::HintSelected, language_); break;
        case Hint::FullOnKey: text = Text(GangText::HintFullOnKey, language_); break;
        case Hint::Running: text = Text(GangText::HintRunning, language_); break;
        case Hint::Ignored: text = Text(GangText::HintIgnored, language_); break;
        case Hint::Duplicate: text = Text(GangText::HintDuplicate, language_); break;
        case Hint::OutOfUse: text = Text(GangText::HintOutOfUse, language_); break;
        case Hint::Cleared: text = Text(GangText::HintCleared, language_); break;
        case Hint::NoneInUse: text = Text(GangText::HintNoneInUse, language_); break;
        case Hint::Stopping: text = Text(GangText::HintStopping, language_); break;
    }
    hint_->setText(FillArgs(text, args));
}

void GangStationWindow::scanEntered() {
    const QString scan = serial_->text().trimmed();
    serial_->clear();
    if (!scan.isEmpty()) takeScan(scan);
}

void GangStationWindow::takeScan(const QString& scan) {
    if (running_) return hint(Hint::Ignored, {scan});
    for (int i = 0; i < shown_.size(); ++i)
        if (shown_[i].name == scan) {
            selected_ = i;
            if (shown_[i].state == SocketShown::State::OutOfUse)
                return hint(Hint::OutOfUse, {scan, shown_[i].outOfUse});
            return hint(Hint::Selected, {scan});
        }
    const int target = nextSocket();
    if (target < 0) return hint(Hint::Next);
    if (shown_[target].state == SocketShown::State::OutOfUse)
        return hint(Hint::OutOfUse, {shown_[target].name, shown_[target].outOfUse});
    if (resultsShown_) clearResults();
    for (int i = 0; i < shown_.size(); ++i)
        if (i != target && shown_[i].serial == scan) return hint(Hint::Duplicate, {scan, shown_[i].name});
    shown_[target].serial = scan;
    shown_[target].state = SocketShown::State::Waiting;
    filled_.removeAll(target);
    filled_ << target;
    selected_ = -1;
    if (!startIfFull()) hint(Hint::Next);
}

void GangStationWindow::clearResults() {
    resultsShown_ = false;
    filled_.clear();
    for (SocketShown& s : shown_) {
        if (s.state == SocketShown::State::OutOfUse) continue;
        s.state = SocketShown::State::Empty;
        s.serial.clear();
        s.verdict = {};
        s.step = -1;
        s.done = s.total = 0;
    }
}

void GangStationWindow::clearLastFilled() {
    if (running_ || resultsShown_ || filled_.isEmpty()) return;
    const int last = filled_.takeLast();
    shown_[last].serial.clear();
    shown_[last].state = SocketShown::State::Empty;
    selected_ = -1;
    hint(Hint::Cleared, {shown_[last].name});
}

bool GangStationWindow::startIfFull() {
    if (fixture().start != FixtureStart::WhenFull) return false;
    bool any = false;
    for (const SocketShown& s : shown_) {
        if (s.state == SocketShown::State::OutOfUse) continue;
        if (s.serial.isEmpty()) return false;
        any = true;
    }
    if (!any) return false;
    startUnits();
    return true;
}

void GangStationWindow::startUnits() {
    if (running_ || resultsShown_) return;
    QList<GangUnit> units;
    for (int i = 0; i < shown_.size(); ++i)
        if (shown_[i].state == SocketShown::State::Waiting) units.append({i, shown_[i].serial});
    if (units.isEmpty()) return;
    refreshLinks();  // an adapter plugged in since is found now
    running_ = true;
    selected_ = -1;
    if (!runner_->start(units)) {
        running_ = false;
        return;
    }
    emit fixtureStarted(int(units.size()));
    hint(Hint::Running, {QString::number(units.size())});
}

void GangStationWindow::stopUnits() {
    if (!running_) return;
    runner_->cancelAll();
    hint(Hint::Stopping);
}

void GangStationWindow::taken(const SocketNews& n) {
    if (n.socket < 0 || n.socket >= shown_.size()) return;
    SocketShown& s = shown_[n.socket];
    using K = SocketNews::Kind;
    switch (n.kind) {
        case K::Started:
            awaitingSince_.remove(n.socket);
            s.awaiting.clear();
            s.state = SocketShown::State::Running;
            s.step = 0;
            s.attempt = 1;
            s.done = s.total = 0;
            break;
        case K::StepStarted:
            awaitingSince_.remove(n.socket);
            s.awaiting.clear();
            s.step = n.step;
            s.attempt = n.attempt;
            s.done = s.total = 0;
            s.leftS = -1;
            s.phase.clear();
            break;
        case K::StepProgress: {
            // The time left at the pace of this phase so far, from its first figure.
            PhasePace& pace = pace_[n.socket];
            if (n.phase != s.phase || n.done < s.done || pace.startMs < 0) pace = {since_.elapsed(), n.done};
            const int doneInPhase = n.done - pace.startDone;
            s.leftS = doneInPhase > 0 && n.total > n.done
                          ? int((since_.elapsed() - pace.startMs) * (n.total - n.done) / doneInPhase / 1000 + 1)
                          : (n.total > 0 && n.done >= n.total ? 0 : -1);
            s.phase = n.phase;
            s.done = n.done;
            s.total = n.total;
            break;
        }
        case K::AwaitingReply:
            // Since the controller last answered, on this window's clock.
            awaitingSince_.insert(n.socket, since_.elapsed() - n.unansweredMs);
            s.awaiting = n.text;
            s.awaitingS = int(n.unansweredMs / 1000);
            if (!awaitingTick_->isActive()) awaitingTick_->start();
            break;
        case K::AnsweredAgain:
            awaitingSince_.remove(n.socket);
            s.awaiting.clear();
            break;
        case K::StepStatus:
        case K::StepEnded:
            return;  // the tile shows the step and its progress, not the status line
        case K::Ended:
            awaitingSince_.remove(n.socket);
            s.awaiting.clear();
            s.verdict = n.verdict;
            s.state = n.verdict.passed ? SocketShown::State::Pass : SocketShown::State::Fail;
            ++(n.verdict.passed ? s.passed : s.failed);
            // Each socket counts as it ends, not when the slowest one does.
            counts_.add(s.serial, n.verdict.passed);
            showTotals();
            break;
    }
    // Only this tile: sixteen units' news never lays out the whole window.
    tiles_[n.socket]->show(s, fixture().recipe, language_);
    // A failed unit is never out of view, even where the tiles must scroll.
    if (s.state == SocketShown::State::Fail) area_->ensureWidgetVisible(tiles_[n.socket], 0, 0);
}

void GangStationWindow::allEnded() {
    running_ = false;
    resultsShown_ = true;
    filled_.clear();
    refreshLinks();
    hint(Hint::Next);
    serial_->setFocus();
    emit fixtureEnded();
    if (closeRequested_) QTimer::singleShot(0, this, &QWidget::close);
}

bool GangStationWindow::takeOutOfUse(int socket, const QString& reason) {
    if (socket < 0 || socket >= shown_.size() || runner_->running(socket) || reason.trimmed().isEmpty())
        return false;
    SocketShown& s = shown_[socket];
    s.state = SocketShown::State::OutOfUse;
    s.outOfUse = reason.trimmed();
    s.serial.clear();
    filled_.removeAll(socket);
    if (selected_ == socket) selected_ = -1;
    if (!running_ && !resultsShown_ && startIfFull()) return true;
    hint(Hint::Next);
    return true;
}

void GangStationWindow::putBackInUse(int socket) {
    if (socket < 0 || socket >= shown_.size() || shown_[socket].state != SocketShown::State::OutOfUse) return;
    shown_[socket].state = SocketShown::State::Empty;
    shown_[socket].outOfUse.clear();
    if (selected_ == socket) selected_ = -1;
    hint(Hint::Next);
}

void GangStationWindow::toggleOutOfUse() {
    if (running_) return;
    const int target = nextSocket();
    if (target < 0) return;
    if (shown_[target].state == SocketShown::State::OutOfUse) putBackInUse(target);
    else askOutOfUse(target);
    serial_->setFocus();
}

void GangStationWindow::askOutOfUse(int socket) {
    OutOfUseDialog dialog(shown_[socket].name, language_, this);
    if (dialog.exec() == QDialog::Accepted) takeOutOfUse(socket, dialog.reason());
}

void GangStationWindow::tileMenu(int socket, const QPoint& at) {
    if (running_) return;
    QMenu menu(this);
    const bool out = shown_[socket].state == SocketShown::State::OutOfUse;
    QAction* action = menu.addAction(Text(out ? GangText::BackInUseAction : GangText::OutOfUseButton, language_));
    if (menu.exec(at) != action) return;
    if (out) putBackInUse(socket);
    else askOutOfUse(socket);
    serial_->setFocus();
}

bool GangStationWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == serial_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace && serial_->text().isEmpty()) {
            clearLastFilled();
            return true;
        }
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_F5 || key->key() == Qt::Key_F8) {
            keyPressEvent(key);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void GangStationWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            if (running_) stopUnits();
            else close();
            return;
        case Qt::Key_F5:
            startUnits();
            return;
        case Qt::Key_F8:
            toggleOutOfUse();
            return;
        default:
            break;
    }
    // A scan while a button has the focus still goes to the serial field.
    if (PassTypingTo(serial_, event)) return;
    QWidget::keyPressEvent(event);
}

void GangStationWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        closeRequested_ = true;
        stopUnits();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace pb
