#pragma once
// One socket of the fixture station: its name, link, the serial scanned into it, its
// state (empty, waiting, running "step n of m" with the step's name and progress, PASS,
// FAIL with the failing step and why, out of use with its reason) and its counts. It
// only shows a SocketShown; the station window decides what it holds.

#include <QFrame>
#include <QString>

#include "recipes/Recipe.h"
#include "recipes/RecipeFlow.h"

class QLabel;
class QProgressBar;

namespace pb {

class FitLabel;

struct SocketShown {
    enum class State { Empty, Waiting, Running, Pass, Fail, OutOfUse };
    State state = State::Empty;
    QString name;
    QString link;        // the link's text in the window's language
    QString linkProblem; // why the link cannot be had now (an adapter not plugged in)
    QString serial;
    int step = -1;       // Running: from 0
    int attempt = 0;
    QString phase;       // of the progress: "program", "verify", "dido", "poll"
    int done = 0;
    int total = 0;       // the step's progress; 0: none known
    int leftS = -1;      // an upgrade's blocks: the seconds still to go at the pace so far; -1: not known
    QString awaiting;    // Running: the command whose reply is overdue; empty: none
    int awaitingS = 0;   // whole seconds the controller has not answered
    UnitVerdict verdict; // Fail
    QString outOfUse;    // OutOfUse: why
    int passed = 0;
    int failed = 0;
    bool next = false;   // the next scan goes here
};

class SocketTile : public QFrame {
    Q_OBJECT
public:
    explicit SocketTile(QWidget* parent = nullptr);

    void show(const SocketShown& shown, const Recipe& recipe, int language);
    const SocketShown& shown() const { return shown_; }

    // The compact form, for many sockets on a small screen: the socket and serial on one
    // line, the state in its colour, one line of the failing step's cause (its title) or of
    // what a running unit waits for. No link, counts or progress bar.
    void setCompact(bool compact);
    bool compact() const { return compact_; }

    // The controls, for tests and screenshots.
    FitLabel* nameLabel() const { return name_; }
    FitLabel* linkLabel() const { return link_; }
    FitLabel* serialLabel() const { return serial_; }
    FitLabel* stateLabel() const { return state_; }
    // The failing step and why, the step running, the reason out of use: up to two lines,
    // in a smaller size when the text needs it.
    QLabel* detailLabel() const { return detail_; }
    // Whether the detail is drawn whole in its two lines.
    bool detailFits() const;
    QProgressBar* progressBar() const { return progress_; }
    FitLabel* countsLabel() const { return counts_; }
    // The compact form's one line.
    FitLabel* briefLabel() const { return brief_; }

signals:
    // Right click or the menu key: the window offers out of use / back in use.
    void menuAsked(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitDetail();
    void setFonts();

    SocketShown shown_;
    FitLabel* name_;
    FitLabel* link_;
    FitLabel* serial_;
    FitLabel* state_;
    QLabel* detail_;
    QFont detailFont_;
    int lookKey_ = -1;  // the state and mark the style sheet was made for
    QProgressBar* progress_;
    FitLabel* counts_;
    FitLabel* brief_;
    class QHBoxLayout* head_;
    class QVBoxLayout* layout_;
    bool compact_ = false;
    const Recipe* recipe_ = nullptr;  // as last shown
    int language_ = 0;
};

}  // namespace pb
