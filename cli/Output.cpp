#include "cli/Output.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>

#include "cli/ExitCode.h"
#include "link/FrameText.h"
#include "output/TerminalText.h"

namespace cli {
namespace {

int lostOutputErrno = 0;  // why standard output first failed; 0 while it has not

void NoteLostOutput(FILE* to) {
    if (to == stdout && std::ferror(to) && lostOutputErrno == 0) lostOutputErrno = errno != 0 ? errno : EIO;
}

void Flush(FILE* to) {
    errno = 0;
    std::fflush(to);
    NoteLostOutput(to);
}

QString clockText(qint64 ms) {
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString phaseWord(const QString& phase) {
    if (phase == QLatin1String("program")) return QStringLiteral("programming");
    if (phase == QLatin1String("verify")) return QStringLiteral("verifying");
    if (phase == QLatin1String("poll")) return QStringLiteral("records");
    return phase;
}

bool hasBar(const QString& phase) {
    return phase == QLatin1String("program") || phase == QLatin1String("verify") ||
           phase == QLatin1String("poll");
}

// What a bar is of: the phase, after the recipe step it belongs to.
QString barTitle(const QString& phase, const QString& step) {
    if (step.isEmpty()) return phaseWord(phase);
    return phase == QLatin1String("poll") ? step : step + QStringLiteral(", ") + phaseWord(phase);
}

// The unit's serial as the controller reported it, else as its label was given; "-" when
// neither is known (a command told the model kind, so nothing was identified).
QString serialOf(const UnitEvent& result) {
    const QJsonObject& d = result.detail;
    for (const QString& serial : {d.value(QStringLiteral("serialNumber")).toString(),
                                  d.value(QStringLiteral("controller")).toObject()
                                      .value(QStringLiteral("serialNumber")).toString(),
                                  d.value(QStringLiteral("unitSerial")).toString()})
        if (!serial.trimmed().isEmpty()) return serial.trimmed();
    return QStringLiteral("-");
}

}  // namespace

void Emit(FILE* to, const QByteArray& bytes) {
    errno = 0;
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    NoteLostOutput(to);
}

void EmitLines(FILE* to, const QStringList& lines) {
    QString text;
    for (const QString& line : lines) text += pb::TerminalText(line) + QLatin1Char('\n');
    Emit(to, text.toLocal8Bit());
}

int FinishStandardOutput(int exitCode) {
    Flush(stdout);
    errno = 0;
    if (std::fclose(stdout) != 0 && lostOutputErrno == 0) lostOutputErrno = errno != 0 ? errno : EIO;
    // A reader that went away (`| head`) ends the command quietly, as other tools do.
    if (lostOutputErrno == 0 || lostOutputErrno == EPIPE) return exitCode;
    std::fputs(QStringLiteral("panelbench-cli: cannot write the output: %1\n")
                   .arg(qt_error_string(lostOutputErrno))
                   .toLocal8Bit()
                   .constData(),
               stderr);
    return WorstExit(exitCode, kExitCommandFailed);
}

QString ProgressLine(const QString& what, int done, int total, const QString& unitName,
                     qint64 elapsedMs) {
    constexpr int kWidth = 24;
    const int filled = total > 0 ? int(qint64(done) * kWidth / total) : 0;
    QString bar = QStringLiteral("[") + QString(filled, QLatin1Char('#')) +
                  QString(kWidth - filled, QLatin1Char('-')) + QStringLiteral("]");
    QString text = QStringLiteral("%1 %2 %3").arg(what, bar).arg(done);
    if (total > 0) text += QStringLiteral("/%1 %2  %3%").arg(total).arg(unitName).arg(done * 100 / total);
    else text += QLatin1Char(' ') + unitName;
    text += QStringLiteral("  %1 elapsed").arg(clockText(elapsedMs));
    if (total > 0 && done > 0 && done < total)
        text += QStringLiteral("  ~%1 left").arg(clockText(elapsedMs * (total - done) / done));
    return text;
}

Output::Output(Mode mode, bool terminal, QStringList labels, QString command, FILE* out)
    : mode_(mode), terminal_(terminal && mode == Mode::Human), labels_(std::move(labels)),
      command_(std::move(command)), out_(out) {}

QString Output::prefix(int unit) const {
    if (!sockets_.isEmpty()) return QStringLiteral("[%1] ").arg(sockets_.value(unit));
    return labels_.size() > 1 ? QStringLiteral("[%1] ").arg(labels_.value(unit)) : QString();
}

void Output::leftOut(const QString& socket, const QString& text) {
    if (mode_ == Mode::Json)
        json({{QStringLiteral("event"), QStringLiteral("left-out")},
              {QStringLiteral("socket"), socket},
              {QStringLiteral("text"), text}});
    else
        line(text);
}

void Output::line(const QString& text) {
    clearBar();
    EmitLines(out_, {text});
    drawBar();
    Flush(out_);
}

void Output::note(const QString& text) {
    clearBar();
    Flush(out_);
    EmitLines(stderr, {text});
    drawBar();
}

void Output::json(const QJsonObject& o) {
    Emit(out_, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    Flush(out_);
}

void Output::clearBar() {
    if (!barShown_) return;
    Emit(out_, "\r\033[K");
    barShown_ = false;
}

void Output::drawBar() {
    if (!terminal_) return;
    // One bar for all units: the sum of their blocks (or records) in the phase shown.
    int done = 0, total = 0, units = 0;
    QString phase, of;
    qint64 start = -1, last = 0;
    for (const Progress& p : std::as_const(progress_)) {
        if (!hasBar(p.phase)) continue;
        if (phase.isEmpty()) {
            phase = p.phase;
            of = p.of;
        }
        done += p.done;
        total += p.total;
        ++units;
        start = start < 0 ? p.phaseStartMs : qMin(start, p.phaseStartMs);
        last = qMax(last, p.lastMs);
    }
    if (units == 0) return drawLive();
    QString what = units > 1 ? QStringLiteral("%1 units").arg(units) : barTitle(phase, of);
    const QString unitName = phase == QLatin1String("poll") ? QStringLiteral("records") : QStringLiteral("blocks");
    Emit(out_, ProgressLine(what, done, total, unitName, last - start).toLocal8Bit());
    barShown_ = true;
    lastDraw_.start();
}

// Without a bar: what each unit does now, on one row.
void Output::drawLive() {
    QList<int> units = progress_.keys();
    std::sort(units.begin(), units.end());
    QStringList shown;
    for (int unit : std::as_const(units))
        if (!progress_[unit].live.isEmpty()) shown << prefix(unit) + progress_[unit].live;
    if (shown.isEmpty()) return;
    // Longer than the row, it would wrap, and clearing the line would leave its start behind.
    const QString text = shown.join(QStringLiteral("  ")).left(qMax(1, width_ - 1));
    std::fputs(text.toLocal8Bit().constData(), out_);
    barShown_ = true;
    lastDraw_.start();
}

void Output::onEvent(const UnitEvent& e) {
    const QString label = labels_.value(e.unit);
    // A warning (the records are off) is the same for every unit: said once.
    if (e.kind == UnitEvent::Kind::Warning && !warned_.contains(e.text)) warned_.insert(e.text);
    else if (e.kind == UnitEvent::Kind::Warning) return;
    if (e.kind == UnitEvent::Kind::Live) {
        if (!terminal_) return;  // a pipe and JSON keep their lines as they are
        // What the unit does now replaces a bar of an earlier step; empty: nothing to show.
        Progress& p = progress_[e.unit];
        p.live = e.text;
        if (hasBar(p.phase)) p.phase.clear();
        clearBar();
        drawBar();
        std::fflush(out_);
        return;
    }
    if (mode_ == Mode::Json) {
        QJsonObject o{{QStringLiteral("unit"), e.unit},
                      {QStringLiteral("link"), label},
                      {QStringLiteral("ms"), e.ms}};
        if (!sockets_.value(e.unit).isEmpty()) o.insert(QStringLiteral("socket"), sockets_.value(e.unit));
        switch (e.kind) {
            case UnitEvent::Kind::Start:
                o.insert(QStringLiteral("event"), QStringLiteral("start"));
                o.insert(QStringLiteral("command"), command_);
                break;
            case UnitEvent::Kind::Step:
                o.insert(QStringLiteral("event"), QStringLiteral("step"));
                o.insert(QStringLiteral("text"), e.text);
                break;
            case UnitEvent::Kind::Progress:
                o.insert(QStringLiteral("event"), QStringLiteral("progress"));
                o.insert(QStringLiteral("phase"), e.phase);
                o.insert(QStringLiteral("done"), e.done);
                o.insert(QStringLiteral("total"), e.total);
                break;
            case UnitEvent::Kind::Frame:
                o.insert(QStringLiteral("event"), QStringLiteral("frame"));
                o.insert(QStringLiteral("dir"), e.direction);
                o.insert(QStringLiteral("frame"), pb::FrameText(e.bytes));
                o.insert(QStringLiteral("hex"), QString::fromLatin1(e.bytes.toHex()));
                if (e.direction == QLatin1String("received"))
                    o.insert(QStringLiteral("checksumOk"), e.checksumOk);
                if (!e.text.isEmpty()) o.insert(QStringLiteral("note"), e.text);
                break;
            case UnitEvent::Kind::Warning:
                o.insert(QStringLiteral("event"), QStringLiteral("warning"));
                o.insert(QStringLiteral("text"), e.text);
                break;
            case UnitEvent::Kind::Live:
                return;  // for a terminal's eyes only
            case UnitEvent::Kind::Result:
                o.insert(QStringLiteral("event"), QStringLiteral("result"));
                o.insert(QStringLiteral("command"), command_);
                o.insert(QStringLiteral("ok"), e.exitCode == kExitOk);
                o.insert(QStringLiteral("exit"), e.exitCode);
                o.insert(QStringLiteral("message"), e.text);
                o.insert(QStringLiteral("detail"), e.detail);
                break;
        }
        if (e.kind == UnitEvent::Kind::Result) {
            results_.append(e);
            worst_ = WorstExit(worst_, e.exitCode);
        }
        json(o);
        return;
    }

    switch (e.kind) {
        case UnitEvent::Kind::Start:
            line(prefix(e.unit) + QStringLiteral("%1 on %2").arg(command_, label));
            break;
        case UnitEvent::Kind::Step:
            // What the live line said is now said by the line, or over.
            if (const auto p = progress_.find(e.unit); p != progress_.end()) p->live.clear();
            line(prefix(e.unit) + e.text);
            break;
        case UnitEvent::Kind::Progress: {
            Progress& p = progress_[e.unit];
            if (p.phase != e.phase) p.phaseStartMs = e.ms;
            if (hasBar(e.phase)) p.live.clear();
            p.phase = e.phase;
            p.of = e.text;
            p.done = e.done;
            p.total = e.total;
            p.lastMs = e.ms;
            // Redrawn at most ten times a second, and at the end of each phase.
            if (terminal_ && hasBar(e.phase) &&
                (!lastDraw_.isValid() || lastDraw_.elapsed() >= 100 || e.done == e.total)) {
                clearBar();
                drawBar();
                Flush(out_);
            }
            break;
        }
        case UnitEvent::Kind::Frame: {
            const QString arrow = e.direction == QLatin1String("sent")       ? QStringLiteral("->")
                                  : e.direction == QLatin1String("received") ? QStringLiteral("<-")
                                                                             : QStringLiteral("!!");
            QString text = prefix(e.unit) + arrow + QLatin1Char(' ') + pb::FrameText(e.bytes);
            if (e.direction == QLatin1String("received") && !e.checksumOk) text += QStringLiteral(" [BAD CHECKSUM]");
            if (!e.text.isEmpty()) text += QStringLiteral(" (%1)").arg(e.text);
            line(text);
            break;
        }
        case UnitEvent::Kind::Warning:
            note(QStringLiteral("panelbench-cli: warning: ") + e.text);
            break;
        case UnitEvent::Kind::Live:
            break;
        case UnitEvent::Kind::Result: {
            progress_.remove(e.unit);
            results_.append(e);
            worst_ = WorstExit(worst_, e.exitCode);
            line(prefix(e.unit) + (e.exitCode == kExitOk ? QStringLiteral("OK: ")
                                                         : QStringLiteral("FAILED (exit %1): ").arg(e.exitCode)) +
                 e.text);
            break;
        }
    }
}

void Output::finish() {
    clearBar();
    if (mode_ == Mode::Human && (labels_.size() > 1 || !sockets_.isEmpty())) {
        // Each unit by its serial, as on its label, then the link it was on.
        QList<UnitEvent> sorted = results_;
        std::sort(sorted.begin(), sorted.end(), [](const UnitEvent& a, const UnitEvent& b) { return a.unit < b.unit; });
        int serialWidth = 6, linkWidth = 4, socketWidth = 6;
        for (const UnitEvent& r : std::as_const(sorted)) {
            serialWidth = qMax(serialWidth, int(serialOf(r).size()));
            linkWidth = qMax(linkWidth, int(labels_.value(r.unit).size()));
            socketWidth = qMax(socketWidth, int(sockets_.value(r.unit).size()));
        }
        // A fixture's units by their sockets first.
        const auto socketCell = [&](const QString& socket) {
            return sockets_.isEmpty() ? QString() : QStringLiteral("%1  ").arg(socket, -socketWidth);
        };
        QString table = QStringLiteral("\n%1%2  %3  exit  result\n")
                            .arg(socketCell(QStringLiteral("socket")))
                            .arg(QStringLiteral("serial"), -serialWidth)
                            .arg(QStringLiteral("link"), -linkWidth);
        for (const UnitEvent& r : std::as_const(sorted))
            table += QStringLiteral("%1%2  %3  %4  %5\n")
                         .arg(socketCell(pb::TerminalText(sockets_.value(r.unit))))
                         .arg(pb::TerminalText(serialOf(r)), -serialWidth)
                         .arg(pb::TerminalText(labels_.value(r.unit)), -linkWidth)
                         .arg(r.exitCode, 4)
                         .arg(pb::TerminalText(r.text));
        table += QStringLiteral("%1 of %2 units ok; exit %3\n")
                     .arg(std::count_if(results_.begin(), results_.end(), [](const UnitEvent& r) { return r.exitCode == 0; }))
                     .arg(labels_.size())
                     .arg(worst_);
        Emit(out_, table.toLocal8Bit());
    }
    Flush(out_);
}

}  // namespace cli
