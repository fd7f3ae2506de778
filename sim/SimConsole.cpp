#include "sim/SimConsole.h"

#include <unistd.h>

#include <QSocketNotifier>
#include <cstdio>

#include "sim/SimController.h"

namespace sim {
namespace {

const char* kHelp =
    "commands:\n"
    "  inputs BITS     set inputs 1-8, e.g. inputs 10100000\n"
    "  in N 0|1        set input N (1-8)\n"
    "  loopback on|off outputs 1-4 drive inputs 1-4 (the test fixture)\n"
    "  stuck N on|off|free   input N stuck at a level, or freed\n"
    "  card DOOR NUMBER [denied]   a card read at door 1-4 (granted unless 'denied')\n"
    "  events          show the event store\n"
    "  state           show model, ID, clock, inputs, outputs, alarm, loader\n"
    "  quit            stop the simulator\n";

}  // namespace

Console::Console(Controller& c, QObject* parent) : QObject(parent), controller_(c) {}

void Console::start() {
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Console::readLine);
}

void Console::readLine() {
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        notifier_->setEnabled(false);  // no more input: keep serving
        return;
    }
    partial_.append(buffer, int(n));
    qsizetype end;
    while ((end = partial_.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(partial_.left(end)).trimmed();
        partial_.remove(0, end + 1);
        const QString out = execute(line);
        std::fputs(out.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
}

QString Console::execute(const QString& line) {
    const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (w.isEmpty()) return {};
    const QString verb = w[0].toLower();
    if (verb == u"help" || verb == u"?") return QString::fromLatin1(kHelp);
    if (verb == u"quit" || verb == u"exit") {
        emit quitRequested();
        return {};
    }
    if (verb == u"inputs" && w.size() == 2) {
        if (!controller_.setInputs(w[1])) return QStringLiteral("inputs wants eight 0/1 digits\n");
        return QStringLiteral("inputs %1\n").arg(controller_.inputs());
    }
    if (verb == u"in" && w.size() == 3) {
        const int n = w[1].toInt();
        if (n < 1 || n > 8 || (w[2] != u"0" && w[2] != u"1"))
            return QStringLiteral("in N 0|1, N from 1 to 8\n");
        controller_.setInput(n, w[2] == u"1");
        return QStringLiteral("inputs %1\n").arg(controller_.inputs());
    }
    if (verb == u"loopback" && w.size() == 2 && (w[1] == u"on" || w[1] == u"off")) {
        controller_.setLoopback(w[1] == u"on");
        return QStringLiteral("loopback %1, inputs %2\n").arg(w[1], controller_.inputs());
    }
    if (verb == u"stuck" && w.size() == 3) {
        const int n = w[1].toInt();
        const QString level = w[2].toLower();
        if (n < 1 || n > 8 || (level != u"on" && level != u"off" && level != u"free"))
            return QStringLiteral("stuck N on|off|free, N from 1 to 8\n");
        controller_.setStuckInput(
            n, level == u"free" ? std::nullopt : std::optional<bool>(level == u"on"));
        return QStringLiteral("inputs %1\n").arg(controller_.inputs());
    }
    if (verb == u"card" && (w.size() == 3 || (w.size() == 4 && w[3] == u"denied"))) {
        const int door = w[1].toInt();
        bool digits = false;
        w[2].toULongLong(&digits);
        if (door < 1 || door > 4 || !digits || w[2].size() > 10)
            return QStringLiteral("card DOOR NUMBER [denied], DOOR 1-4, NUMBER up to ten digits\n");
        controller_.recordEvent(w.size() == 4 ? EventKind::CardDenied : EventKind::CardGranted,
                                door, w[2].toLatin1());
        return QStringLiteral("%1 records\n").arg(controller_.events().size());
    }
    if (verb == u"events") {
        QString out;
        for (const Event& e : controller_.events().events())
            out += QString::fromLatin1(EventStore::encode(e)) + u'\n';
        return out + QStringLiteral("%1 records, %2 not yet read\n")
                         .arg(controller_.events().size())
                         .arg(controller_.events().remaining());
    }
    if (verb == u"state") {
        static const char* loaders[] = {"none", "A", "B", "C"};
        QString fixture = controller_.loopback() ? QStringLiteral("loopback on") : QString();
        for (int n = 1; n <= 8; ++n)
            if (const auto level = controller_.stuckInput(n))
                fixture += QStringLiteral("%1input %2 stuck %3")
                               .arg(fixture.isEmpty() ? QString() : QStringLiteral(", "))
                               .arg(n)
                               .arg(*level ? u"on" : u"off");
        if (!fixture.isEmpty()) fixture += u'\n';
        return QStringLiteral(
                   "model %1 (kind %2) id %3\nclock %4\ninputs %5 outputs %6 alarm %7\nloader "
                   "%8%9\n")
                   .arg(modelName(controller_.model()))
                   .arg(modelKind(controller_.model()))
                   .arg(controller_.id(),
                        controller_.clock().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                        controller_.inputs(), controller_.outputs())
                   .arg(controller_.alarm())
                   .arg(QLatin1String(loaders[int(controller_.activeLoader())]),
                        controller_.rebooting() ? QStringLiteral(" (rebooting)") : QString()) +
               fixture;
    }
    return QStringLiteral("unknown command '%1'; type help\n").arg(line);
}

}  // namespace sim
