#pragma once
// What the user sees: one line per step (with a progress bar on a terminal), or
// newline-delimited JSON events; at the end a summary table of the units.

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "cli/UnitJob.h"

namespace cli {

// Standard output, checked: what the command line writes there goes through Emit, which
// keeps the first failure with the system's reason. FinishStandardOutput flushes and
// closes it and returns `exitCode`, or at least 5 (saying why on standard error) when
// anything written was lost: a full disk, a closed pipe.
void Emit(FILE* to, const QByteArray& bytes);
int FinishStandardOutput(int exitCode);
// Lines for a person on `to` (stdout or stderr): each shown with its control characters
// as escapes (output/TerminalText.h), ended by a newline.
void EmitLines(FILE* to, const QStringList& lines);

// The bar line: "[######------]  512/1024 blocks  50%  00:12 elapsed  ~00:12 left".
QString ProgressLine(const QString& what, int done, int total, const QString& unitName,
                     qint64 elapsedMs);

class Output {
public:
    enum class Mode { Human, Json };
    Output(Mode mode, bool terminal, QStringList labels, QString command, FILE* out = stdout);

    void onEvent(const UnitEvent& e);
    // Clears the bar and prints the summary table of many units.
    void finish();
    int worstExit() const { return worst_; }
    void note(const QString& text);  // a line of the program's own (stderr)
    // run --fixture: each unit's socket, by unit index; its events carry it.
    void setSockets(QStringList sockets) { sockets_ = std::move(sockets); }
    // A socket of the fixture that does not run, and why (in the run's language).
    void leftOut(const QString& socket, const QString& text);
    // The terminal's width in characters: the live line is cut to fit on one row.
    void setLineWidth(int columns) { width_ = columns; }

private:
    void line(const QString& text);
    void json(const QJsonObject& o);
    void drawBar();
    void clearBar();
    QString prefix(int unit) const;

    void drawLive();

    // What the line under the output shows of a unit: its bar, or what it does now.
    struct Progress {
        QString phase;
        QString of;    // the recipe step of the bar; empty: a single command
        QString live;  // the step under way, a countdown's seconds
        int done = 0;
        int total = 0;
        qint64 phaseStartMs = 0;
        qint64 lastMs = 0;
    };

    Mode mode_;
    bool terminal_;
    QStringList labels_;
    QStringList sockets_;
    QString command_;
    FILE* out_;
    QHash<int, Progress> progress_;
    QList<UnitEvent> results_;
    bool barShown_ = false;
    QElapsedTimer lastDraw_;
    int worst_ = 0;
    int width_ = 80;
    QSet<QString> warned_;
};

}  // namespace cli
