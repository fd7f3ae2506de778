#pragma once
// The test station for a fixture: every socket's unit tested at once, one tile per
// socket. A barcode scanner types each serial plus Enter into the one serial field,
// which keeps the focus: a scan goes to the next empty socket in order (marked before
// the scan); a scan that is a socket's name chooses that socket for the next scan;
// Backspace on the empty field clears the socket filled last. The units start when every
// socket in use has its serial ("start": "when-full") or on F5 / Start ("on-key"); they
// run in the gang runner's threads, the window only shows their news. Esc stops every
// running unit, and closes the window while none runs. F8 (or a tile's menu) takes the
// chosen socket out of use with a reason, or puts it back. Keyboard and scanner suffice.

#include <QList>
#include <QElapsedTimer>
#include <QHash>
#include <QWidget>
#include <functional>
#include <memory>

#include "multiup/Fixture.h"
#include "gang/GangRunner.h"
#include "gang/SocketNews.h"
#include "recipes/ShiftCounts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QGridLayout;

namespace pb {

class FitLabel;
class SocketTile;
struct SocketShown;

class GangStationWindow : public QWidget {
    Q_OBJECT
public:
    GangStationWindow(Fixture fixture, int language, GangRecords records, QWidget* parent = nullptr);
    ~GangStationWindow() override;

    void setLanguage(int language);
    int language() const { return language_; }
    const Fixture& fixture() const { return runner_->fixture(); }
    GangRunner& runner() { return *runner_; }
    bool running() const { return running_; }
    const ShiftCounts& counts() const { return counts_; }
    // The socket the next scan goes to; -1: none (every socket in use has its serial).
    int nextSocket() const;
    const SocketShown& socket(int index) const;

    // As large as the tiles want within `area` (device independent pixels: a screen's free
    // area); what does not fit there scrolls, the serial field, hint and totals stay.
    void fitInto(const QRect& area);

    // Out of use with a reason (not while its unit runs), and back in use.
    bool takeOutOfUse(int socket, const QString& reason);
    void putBackInUse(int socket);

    // The controls, for tests.
    QLineEdit* serialField() const { return serial_; }
    QLabel* hintLabel() const { return hint_; }
    SocketTile* tile(int index) const { return tiles_.at(index); }
    QLabel* totalsLabel() const { return totals_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* outOfUseButton() const { return outOfUse_; }
    QPushButton* closeButton() const { return close_; }
    QScrollArea* tileArea() const { return area_; }
    // Whether the tiles show in their compact form (the full ones do not fit the screen).
    bool compactTiles() const { return compact_; }

signals:
    void fixtureStarted(int units);
    void fixtureEnded();

public slots:
    // F5, the Start button: the sockets with a serial start.
    void startUnits();
    // Esc while units run.
    void stopUnits();
    // F8: the chosen socket out of use (asking why) or back in use.
    void toggleOutOfUse();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void scanEntered();
    void takeScan(const QString& scan);
    void clearLastFilled();
    void clearResults();
    bool startIfFull();
    void taken(const SocketNews& news);
    void allEnded();
    void askOutOfUse(int socket);
    void tileMenu(int socket, const QPoint& at);
    void refreshLinks();
    void showAll();
    void showTotals();
    void showAwaiting();
    QSize wantedSize() const;
    void showHint();
    void retranslate();

    enum class Hint { Next, Selected, FullOnKey, Running, Ignored, Duplicate, OutOfUse, Cleared, NoneInUse, Stopping };
    void hint(Hint h, const QStringList& args = {});

    std::unique_ptr<GangRunner> runner_;
    QList<SocketShown> shown_;
    // Where each socket's current progress phase began: for the time left.
    struct PhasePace {
        qint64 startMs = -1;
        int startDone = 0;
    };
    QHash<int, PhasePace> pace_;
    // Where each socket's overdue reply began on since_; absent: none.
    QHash<int, qint64> awaitingSince_;
    class QTimer* awaitingTick_;
    bool compact_ = false;
    QElapsedTimer since_;
    QList<int> filled_;       // sockets in the order their serials came
    int selected_ = -1;       // chosen by a scan of its name
    bool resultsShown_ = false;  // the last run's verdicts stay until the next scan
    bool running_ = false;
    bool closeRequested_ = false;
    int language_ = 0;
    ShiftCounts counts_;
    Hint hintShown_ = Hint::Next;
    QStringList hintArgs_;

    FitLabel* fixtureCaption_;
    FitLabel* fixtureName_;
    FitLabel* recipeCaption_;
    FitLabel* recipeName_;
    QLabel* serialCaption_;
    QLineEdit* serial_;
    QLabel* hint_;
    QScrollArea* area_;
    QGridLayout* grid_;
    QList<SocketTile*> tiles_;
    QLabel* totals_;
    QPushButton* start_;
    QPushButton* outOfUse_;
    QPushButton* close_;
};

}  // namespace pb
