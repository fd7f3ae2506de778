#include "cli/RecordsCommand.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "catalogue/StepNames.h"
#include "catalogue/TestNames.h"
#include "cli/ExitCode.h"
#include "cli/Output.h"
#include "i18n/ChainTexts.h"
#include "i18n/MeasurementTexts.h"
#include "i18n/RecordLineTexts.h"
#include "i18n/RecordsTexts.h"
#include "link/FrameText.h"
#include "output/TerminalText.h"
#include "output/WholeFile.h"
#include "records/store/RecordChain.h"
#include "records/store/RecordStore.h"
#include "records/exports/JunitExport.h"
#include "records/exports/RecordsExport.h"
#include "records/exports/RunWarning.h"
#include "records/exports/ShownStatus.h"
#include "records/store/ServerAddress.h"
#include "reports/LineReport.h"

namespace cli {
namespace {

using pb::records::RecordStore;
using pb::records::RunRow;
using pb::records::UnitRow;

// Lines to standard output, each shown as a terminal shows it (control characters as
// escapes); the text's own line ends divide it.
void out(const QString& text) {
    QStringList lines = text.split(u'\n');
    if (lines.size() > 1 && lines.last().isEmpty()) lines.removeLast();
    EmitLines(stdout, lines);
}

int failure(const QString& why) {
    EmitLines(stderr, {QStringLiteral("panelbench-cli: ") + why});
    return kExitCommandFailed;
}

QString localTime(qint64 ms) {
    return ms > 0
               ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
               : QString();
}

QString durationText(const RunRow& r) {
    return r.endMs > 0 ? QString::number(double(r.endMs - r.startMs) / 1000.0, 'f', 1) +
                             QStringLiteral(" s")
                       : QStringLiteral("-");
}

// A run's outcome in the reader's language, with the warning of a run that ended well short
// of all it was given.
QString outcomeText(const RunRow& r, int language) {
    return pb::records::OutcomeName(r.outcome, language) + pb::records::RunWarningText(r.details, language);
}

QString L(pb::RecordLine id, int language) { return pb::Text(id, language); }

// "name       value": a field of `records show`, its name padded in the reader's language.
QString field(pb::RecordLine name, const QString& value, int language) {
    return pb::PadRight(L(name, language), 11) + value;
}

// The unit a run belongs to, as a person names it: its serial, or the link it was on.
QString unitText(const RunRow& r) {
    return r.unitSerial.isEmpty() ? QStringLiteral("(%1)").arg(r.linkText) : r.unitSerial;
}

void printJsonLine(const QJsonObject& o) {
    Emit(stdout, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
}

// A unit test (recipe run) as the lists name it: "R3", apart from run 3.
QString recipeRunName(qint64 id) {
    return QStringLiteral("R%1").arg(id);
}

// The unit a recipe run belongs to: its unit's serial, or the link it was on.
QString unitText(const pb::records::RecipeRunRow& r) {
    return r.unitSerial.isEmpty() ? QStringLiteral("(%1)").arg(r.linkText) : r.unitSerial;
}

QString durationText(const pb::records::RecipeRunRow& r) {
    return r.endMs > 0 ? QString::number(double(r.endMs - r.startMs) / 1000.0, 'f', 1) + QStringLiteral(" s")
                       : QStringLiteral("-");
}

// "step 1 identify: why" for a unit test that failed, in the reader's language; empty when
// none failed.
QString failingText(const pb::records::RecipeRunRow& r, int language) {
    if (r.failingStep < 0) return {};
    const pb::records::RecipeStepRow* step = r.failing();
    const QString why = pb::records::ShownCause(r.cause, language);
    if (!step) return why;
    return pb::Text(pb::RecordText::FailedAtStep, language)
        .arg(step->index + 1)
        .arg(pb::ShownStepLabel(step->kind, step->label, language), why);
}

QJsonObject recipeRunEvent(const pb::records::RecipeRunRow& r) {
    QJsonObject o = pb::records::RecipeRunJson(r);
    o.insert(QStringLiteral("event"), QStringLiteral("recipe-run"));
    return o;
}

int list(RecordStore& store, const RecordsJob& job) {
    const QList<RunRow> runs = store.queries().runs(job.filter);
    const QList<pb::records::RecipeRunRow> tests = store.queries().recipeRuns(job.filter);
    // Runs and unit tests in one list, newest first: a unit test is a row of its own.
    struct Line {
        qint64 startMs, id;
        const RunRow* run;
        const pb::records::RecipeRunRow* test;
    };
    QList<Line> lines;
    for (const RunRow& r : runs) lines.append({r.startMs, r.id, &r, nullptr});
    for (const auto& t : tests) lines.append({t.startMs, t.id, nullptr, &t});
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.startMs != b.startMs ? a.startMs > b.startMs : a.id > b.id;
    });
    if (job.json) {
        for (const Line& l : lines) {
            if (l.test) {
                printJsonLine(recipeRunEvent(*l.test));
                continue;
            }
            QJsonObject o = pb::records::RunJson(*l.run);
            o.insert(QStringLiteral("event"), QStringLiteral("run"));
            printJsonLine(o);
        }
        return kExitOk;
    }
    const int language = job.language;
    if (lines.isEmpty()) {
        const bool filtered = !(job.filter.serial.isEmpty() && job.filter.unitId == 0 && !job.filter.outcome &&
                                job.filter.procedure.isEmpty() && job.filter.fromMs == 0 && job.filter.toMs == 0 &&
                                job.filter.station.isEmpty());
        out(L(filtered ? pb::RecordLine::NoRunsThatMatch : pb::RecordLine::NoRuns, language) + u'\n');
        return kExitOk;
    }
    // Each line's fields as a terminal shows them, each column as wide as its widest field
    // (a wide character takes two columns): long recipe names keep the columns aligned.
    struct Fields {
        QString id, started, unit, procedure, outcome, time, operatorName, station, socket, tail;
    };
    const auto shown = [](const QString& text) { return pb::TerminalText(text); };
    QList<Fields> rows;
    rows << Fields{L(pb::RecordLine::HeadRun, language), L(pb::RecordLine::HeadStarted, language),
                   L(pb::RecordLine::HeadUnit, language), L(pb::RecordLine::HeadProcedure, language),
                   L(pb::RecordLine::HeadOutcome, language), L(pb::RecordLine::HeadTime, language),
                   L(pb::RecordLine::HeadOperator, language), L(pb::RecordLine::HeadStation, language),
                   L(pb::RecordLine::HeadSocket, language), {}};
    bool anySocket = false;
    for (const Line& l : lines) {
        if (const pb::records::RecipeRunRow* t = l.test) {
            // The unit test: its recipe, the outcome of its verdict, its socket in a column of
            // its own and where it failed.
            QString tail;
            if (const QString failing = failingText(*t, language); !failing.isEmpty()) tail = shown(failing);
            anySocket = anySocket || !t->socket.isEmpty();
            rows << Fields{recipeRunName(t->id), localTime(t->startMs), shown(unitText(*t)),
                           pb::Text(pb::RecordLine::RecipeNamed, language).arg(shown(t->recipeName)),
                           pb::RecipeVerdictName(t->verdict, language), durationText(*t), shown(t->operatorName),
                           shown(t->station), shown(t->socket), tail};
            continue;
        }
        const RunRow& r = *l.run;
        rows << Fields{QString::number(r.id), localTime(r.startMs), shown(unitText(r)),
                       shown(pb::ProcedureName(r.procedure, language)), outcomeText(r, language), durationText(r),
                       shown(r.operatorName), shown(r.station), {}, {}};
    }
    // The columns shown: the station's on a shared server, the socket's when a unit test has one.
    QList<QString Fields::*> columns = {&Fields::id, &Fields::started, &Fields::unit, &Fields::procedure,
                                        &Fields::outcome, &Fields::time, &Fields::operatorName};
    if (store.isServer()) columns << &Fields::station;
    if (anySocket) columns << &Fields::socket;
    QList<int> widths(columns.size(), 0);
    for (const Fields& f : rows)
        for (int c = 0; c < columns.size(); ++c) widths[c] = qMax(widths[c], pb::TerminalWidth(f.*columns[c]));
    for (const Fields& f : rows) {
        QString line;
        for (int c = 0; c < columns.size(); ++c) {
            const QString& cell = f.*columns[c];
            const bool numeric = columns[c] == &Fields::id || columns[c] == &Fields::time;
            line += (c == 0 ? QString() : QStringLiteral("  ")) +
                    (numeric ? pb::PadLeft(cell, widths[c]) : pb::PadRight(cell, widths[c]));
        }
        if (!f.tail.isEmpty()) line += QStringLiteral("  ") + f.tail;
        // No spaces at a line's end.
        while (line.endsWith(u' ')) line.chop(1);
        out(line + u'\n');
    }
    return kExitOk;
}

// A unit test: its recipe, verdict, where it failed, and every step with its runs.
int showRecipeRun(RecordStore& store, const RecordsJob& job) {
    const std::optional<pb::records::RecipeRunRow> t = store.queries().recipeRun(job.recipeRunId);
    if (!t) return failure(QStringLiteral("no recipe run %1 in the records").arg(recipeRunName(job.recipeRunId)));
    if (job.json) {
        QJsonObject o = recipeRunEvent(*t);
        if (const std::optional<UnitRow> unit = store.queries().unit(t->unitId); unit && unit->identified)
            o.insert(QStringLiteral("unit"), pb::records::UnitJson(*unit));
        printJsonLine(o);
        return kExitOk;
    }
    const int lang = job.language;
    const auto line = [&](pb::RecordLine name, const QString& value) { return field(name, pb::TerminalText(value), lang) + u'\n'; };
    QString text = line(pb::RecordLine::RecipeRun, recipeRunName(t->id));
    text += line(pb::RecordLine::Unit, unitText(*t));
    text += line(pb::RecordLine::Recipe, pb::Text(pb::RecordLine::RecipeOf, lang).arg(t->recipeName, t->recipeHash));
    text += line(pb::RecordLine::Scanned, t->scannedSerial);
    text += line(pb::RecordLine::Verdict, pb::RecipeVerdictName(t->verdict, lang));
    if (const QString failing = failingText(*t, lang); !failing.isEmpty()) text += line(pb::RecordLine::FailedAt, failing);
    text += line(pb::RecordLine::Started, localTime(t->startMs));
    text += line(pb::RecordLine::Time, durationText(*t));
    text += line(pb::RecordLine::Link, t->linkText);
    if (!t->fixture.isEmpty())
        text += line(pb::RecordLine::Fixture, pb::Text(pb::RecordLine::FixtureOf, lang).arg(t->fixture, t->socket));
    text += line(pb::RecordLine::Station, t->station);
    text += line(pb::RecordLine::Operator, t->operatorName);
    for (const pb::records::RecipeStepRow& s : t->steps) {
        QStringList runIds;
        for (qint64 id : s.runIds) runIds << QString::number(id);
        text += QStringLiteral("  %1. %2  %3")
                    .arg(s.index + 1)
                    .arg(pb::TerminalText(pb::ShownStepLabel(s.kind, s.label, lang)), pb::RecipeVerdictName(s.verdict, lang));
        if (const QString m = pb::records::ShownMeasured(s, lang); !m.isEmpty()) text += QStringLiteral("  ") + pb::TerminalText(m);
        if (const QString why = pb::records::ShownStepCause(s, lang); !why.isEmpty())
            text += QStringLiteral("  ") + pb::TerminalText(why);
        if (s.attemptCauses.size() > 1) {
            QStringList tries;
            for (const pb::Cause& c : s.attemptCauses) tries << pb::records::ShownCause(c, lang);
            text += QStringLiteral("  ") + pb::TerminalText(pb::Text(pb::RecordLine::Attempts, lang)
                                                               .arg(s.attemptCauses.size())
                                                               .arg(tries.join(QStringLiteral("; "))));
        }
        if (!runIds.isEmpty())
            text += QStringLiteral("  ") + pb::Text(pb::RecordLine::RunsOfStep, lang).arg(runIds.join(QStringLiteral(", ")));
        text += u'\n';
    }
    out(text);
    return kExitOk;
}

int show(RecordStore& store, const RecordsJob& job) {
    if (job.recipeRunId > 0) return showRecipeRun(store, job);
    const std::optional<RunRow> run = store.queries().run(job.runId);
    if (!run) return failure(QStringLiteral("no run %1 in the records").arg(job.runId));
    const pb::records::KeptTraffic traffic = store.queries().traffic(run->id);
    const std::optional<UnitRow> unit = store.queries().unit(run->unitId);
    if (job.json) {
        QJsonObject o = pb::records::RunJson(*run);
        o.insert(QStringLiteral("event"), QStringLiteral("run"));
        if (unit && unit->identified) o.insert(QStringLiteral("unit"), pb::records::UnitJson(*unit));
        o.insert(QStringLiteral("frames"), pb::records::TrafficJson(traffic));
        printJsonLine(o);
        return kExitOk;
    }
    // One entry per line: a field's own line breaks are shown as escapes, not obeyed.
    const int lang = job.language;
    QStringList lines{field(pb::RecordLine::Run, QString::number(run->id), lang),
                      field(pb::RecordLine::Unit, unitText(*run), lang)};
    if (unit && unit->identified)
        lines << field(pb::RecordLine::Model,
                       pb::Text(pb::RecordLine::ModelOf, lang)
                           .arg(unit->identity.version)
                           .arg(unit->identity.modelKind)
                           .arg(unit->identity.deviceId),
                       lang);
    lines << field(pb::RecordLine::Procedure, pb::ProcedureName(run->procedure, lang), lang);
    // A step of a unit test names it: the run's own outcome is not the unit's verdict.
    if (run->recipeRunId > 0) {
        if (const auto t = store.queries().recipeRun(run->recipeRunId)) {
            QString step;
            for (const pb::records::RecipeStepRow& s : t->steps)
                if (s.index == run->recipeStep)
                    step = pb::Text(pb::RecordLine::StepOf, lang).arg(s.index + 1).arg(pb::ShownStepLabel(s.kind, s.label, lang));
            const QString failing = failingText(*t, lang);
            lines << field(pb::RecordLine::UnitTest,
                           pb::Text(pb::RecordLine::UnitTestOf, lang)
                               .arg(recipeRunName(t->id), t->recipeName, step, pb::RecipeVerdictName(t->verdict, lang),
                                    failing.isEmpty() ? QString() : QStringLiteral(" (") + failing + u')'),
                           lang);
        }
    }
    lines << field(pb::RecordLine::Outcome, outcomeText(*run, lang), lang);
    if (run->outcome != pb::records::Outcome::Running && run->cause.code != pb::CauseCode::Ok)
        lines << field(pb::RecordLine::Cause, pb::records::ShownCause(run->cause, lang), lang);
    if (!run->measurements.isEmpty()) lines << field(pb::RecordLine::Found, pb::MeasurementsText(run->measurements, lang), lang);
    lines << field(pb::RecordLine::Status, pb::records::ShownRunStatus(*run, lang), lang);
    lines << field(pb::RecordLine::Started, localTime(run->startMs), lang);
    lines << field(pb::RecordLine::Time, durationText(*run), lang);
    lines << field(pb::RecordLine::Link, run->linkText, lang);
    lines << field(pb::RecordLine::Station, run->station, lang);
    lines << field(pb::RecordLine::Operator, run->operatorName, lang);
    if (!run->details.isEmpty())
        lines << field(pb::RecordLine::Details, QString::fromUtf8(QJsonDocument(run->details).toJson(QJsonDocument::Compact)), lang);
    QString frames = field(pb::RecordLine::Frames, QString::number(run->frameCount), lang);
    if (traffic.dropped > 0) frames += pb::Text(pb::RecordLine::FramesLeftOut, lang).arg(traffic.dropped);
    lines << frames;
    for (qsizetype i = 0; i < traffic.frames.size(); ++i) {
        const pb::records::TrafficFrame& f = traffic.frames[i];
        const QString arrow = f.direction == pb::records::Direction::Sent ? QStringLiteral("->")
                              : f.direction == pb::records::Direction::Received
                                  ? QStringLiteral("<-")
                                  : QStringLiteral("!!");
        QString line =
            QStringLiteral("  %1 %2 %3")
                .arg(QDateTime::fromMSecsSinceEpoch(f.ms).toString(QStringLiteral("HH:mm:ss.zzz")),
                     arrow, pb::FrameText(f.bytes));
        if (!f.verdict.isEmpty()) line += QStringLiteral("  [%1]").arg(pb::FrameVerdictText(f.verdict, lang));
        if (!f.note.isEmpty()) line += QStringLiteral("  (%1)").arg(f.note);
        lines << line;
        if (i == traffic.droppedAfter)
            lines << QStringLiteral("  ") + pb::Text(pb::RecordLine::FramesNotKept, lang).arg(traffic.dropped);
    }
    EmitLines(stdout, lines);
    return kExitOk;
}

// The one unit an html or pdf report is about: --unit, or the serial (exact, or the only
// one that contains it).
std::optional<qint64> reportUnit(RecordStore& store, const RecordsJob& job, QString& why) {
    if (job.filter.unitId > 0) {
        if (store.queries().unit(job.filter.unitId)) return job.filter.unitId;
        why = QStringLiteral("no unit %1 in the records").arg(job.filter.unitId);
        return std::nullopt;
    }
    const QList<UnitRow> units = store.queries().units(job.filter.serial);
    for (const UnitRow& u : units)
        if (u.identity.serial == job.filter.serial) return u.id;
    if (units.size() == 1 && units[0].identified) return units[0].id;
    QStringList serials;
    for (const UnitRow& u : units)
        if (u.identified) serials << u.identity.serial;
    why = serials.isEmpty()
              ? QStringLiteral("no unit with serial '%1' in the records").arg(job.filter.serial)
              : QStringLiteral("serial '%1' names several units: %2")
                    .arg(job.filter.serial, serials.join(QStringLiteral(", ")));
    return std::nullopt;
}

// Standard output (checked to its close in main), or the file whole or not at all.
bool writeOut(const QByteArray& bytes, const QString& path, QString& why) {
    if (path.isEmpty() || path == QLatin1String("-")) {
        Emit(stdout, bytes);
        return true;
    }
    const pb::SaveResult saved = pb::WriteWholeFile(path, bytes);
    if (!saved.ok) why = QStringLiteral("cannot write '%1': %2").arg(path, saved.error);
    return saved.ok;
}

int exportRuns(RecordStore& store, const RecordsJob& job) {
    QString why;
    if (job.format == QLatin1String("json") || job.format == QLatin1String("csv") ||
        job.format == QLatin1String("junit")) {
        const QByteArray bytes = job.format == QLatin1String("json")  ? pb::records::ExportJson(store, job.filter)
                                 : job.format == QLatin1String("csv") ? pb::records::ExportCsv(store, job.filter)
                                                                      : pb::records::ExportJunit(store, job.filter);
        return writeOut(bytes, job.output, why) ? kExitOk : failure(why);
    }
    const std::optional<qint64> unit = reportUnit(store, job, why);
    if (!unit) return failure(why);
    if (job.format == QLatin1String("html"))
        return writeOut(pb::records::UnitReportHtml(store, *unit, job.language).toUtf8(),
                        job.output, why)
                   ? kExitOk
                   : failure(why);
    if (const pb::SaveResult saved = pb::records::WriteUnitReportPdf(store, *unit, job.language, job.output); !saved.ok)
        return failure(QStringLiteral("cannot write the PDF '%1': %2").arg(job.output, saved.error));
    return kExitOk;
}

// How many runs wait for the shared server and unit tests for the events broker.
int printStatus(RecordStore& store, const RecordsJob& job) {
    const qint64 runs = store.outbox().pendingUploads();
    const qint64 events = store.outbox().pendingEvents();
    if (!store.status().ok()) return failure(StoreFindingText(store.status()));
    if (job.json) {
        Emit(stdout, QJsonDocument(QJsonObject{{"path", store.where()}, {"uploadsWaiting", runs}, {"eventsWaiting", events}})
                             .toJson(QJsonDocument::Compact) +
                         '\n');
        return kExitOk;
    }
    EmitLines(stdout, {pb::Text(pb::RecordText::StatusUploadsWaiting, job.language).arg(runs),
                       pb::Text(pb::RecordText::StatusEventsWaiting, job.language).arg(events)});
    return kExitOk;
}

// The line's report over the filter: figures read once, then HTML or PDF.
int lineReport(RecordStore& store, const RecordsJob& job) {
    const pb::reports::LineReportData data = pb::reports::ReadLineReport(store.database(), job.filter);
    if (!data.error.isEmpty()) return failure(QStringLiteral("cannot read the line's figures: %1").arg(data.error));
    QString why;
    if (job.format == QLatin1String("html"))
        return writeOut(pb::reports::LineReportHtml(data, job.language).toUtf8(), job.output, why) ? kExitOk
                                                                                                   : failure(why);
    if (const pb::SaveResult saved = pb::reports::WriteLineReportPdf(data, job.language, job.output); !saved.ok)
        return failure(QStringLiteral("cannot write the PDF '%1': %2").arg(job.output, saved.error));
    return kExitOk;
}

// Walks every station's chain: the count when whole, else each unit test changed, removed
// or inserted, by station and id.
int verifyChains(RecordStore& store, const RecordsJob& job) {
    QSqlDatabase db = store.database();
    QSqlError error;
    const pb::records::ChainReport report = pb::records::VerifyChains(db, &error);
    if (error.isValid()) return failure(QStringLiteral("cannot read the chain: %1").arg(error.text()));
    using Kind = pb::records::ChainFinding::Kind;
    for (const pb::records::ChainFinding& f : report.findings) {
        if (job.json) {
            static const char* const kinds[] = {"changed", "removed", "inserted"};
            printJsonLine({{QStringLiteral("event"), QStringLiteral("chain-broken")},
                           {QStringLiteral("finding"), QLatin1String(kinds[f.kind])},
                           {QStringLiteral("station"), f.station},
                           {QStringLiteral("unitTest"), f.rowId}});
            continue;
        }
        const pb::ChainLine line = f.kind == Kind::Changed   ? pb::ChainLine::Changed
                                   : f.kind == Kind::Removed ? pb::ChainLine::Removed
                                                             : pb::ChainLine::Inserted;
        out(pb::Text(line, job.language).arg(f.station).arg(f.rowId));
    }
    if (!report.whole()) return kExitRecordsChanged;
    if (job.json)
        printJsonLine({{QStringLiteral("event"), QStringLiteral("chain-whole")},
                       {QStringLiteral("unitTests"), report.links},
                       {QStringLiteral("stations"), report.chains}});
    else
        out(pb::Text(pb::ChainLine::Whole, job.language).arg(report.links).arg(report.chains));
    return kExitOk;
}

}  // namespace

qint64 ParseRecordsDate(const QString& text, bool endOfDay) {
    // A date alone: Qt reads the date of a date and time too, and would drop its time.
    const QDate day = text.size() == 10 ? QDate::fromString(text, Qt::ISODate) : QDate();
    if (day.isValid()) return (endOfDay ? day.addDays(1) : day).startOfDay().toMSecsSinceEpoch();
    const QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    return t.isValid() ? t.toMSecsSinceEpoch() : 0;
}

QString ParseRecordsAction(const QStringList& args, RecordsJob& job) {
    if (args.isEmpty()) return QStringLiteral("records wants list, show RUN, export, stats, report, status or verify");
    job.action = args[0];
    if (job.action == QLatin1String("show")) {
        // A run's number, or a unit test's as the list names it: "R3".
        bool ok = false;
        QString number = args.value(1);
        const bool recipeRun = number.startsWith(u'R', Qt::CaseInsensitive);
        const qint64 id = (recipeRun ? number.mid(1) : number).toLongLong(&ok);
        if (args.size() != 2 || !ok || id <= 0)
            return QStringLiteral("records show wants one run number (or R and a recipe run's number)");
        (recipeRun ? job.recipeRunId : job.runId) = id;
        return {};
    }
    if (job.action == QLatin1String("verify")) {
        if (args.size() != 1) return QStringLiteral("records verify takes no argument");
        if (!job.format.isEmpty() || !job.output.isEmpty())
            return QStringLiteral("--format and --output go with 'records export' or 'records report'");
        return {};
    }
    if (job.action != QLatin1String("list") && job.action != QLatin1String("export") &&
        job.action != QLatin1String("stats") && job.action != QLatin1String("report") &&
        job.action != QLatin1String("status"))
        return QStringLiteral("records wants list, show RUN, export, stats, report, status or verify, not '%1'").arg(job.action);
    if (args.size() != 1) return QStringLiteral("records %1 takes no argument").arg(job.action);
    if (job.action == QLatin1String("status")) {
        if (!job.format.isEmpty() || !job.output.isEmpty())
            return QStringLiteral("--format and --output go with 'records export'");
        return {};
    }
    if (job.action == QLatin1String("stats")) {
        if (!IsStatsGrouping(job.stats.by))
            return QStringLiteral("records stats wants --by day, shift, station, fixture, socket, recipe, step, upgrade, duration or latency");
        if (!job.format.isEmpty() || !job.output.isEmpty())
            return QStringLiteral("--format and --output go with 'records export'");
        return {};
    }
    if (job.action == QLatin1String("list")) {
        if (!job.format.isEmpty() || !job.output.isEmpty())
            return QStringLiteral("--format and --output go with 'records export' or 'records report'");
        return {};
    }
    if (job.action == QLatin1String("report")) {
        if (job.format != QLatin1String("html") && job.format != QLatin1String("pdf"))
            return QStringLiteral("records report wants --format html or pdf");
        if (job.format == QLatin1String("pdf") && (job.output.isEmpty() || job.output == QLatin1String("-")))
            return QStringLiteral("a PDF goes to a file: give --output FILE");
        return {};
    }
    if (!QStringList{"json", "csv", "junit", "html", "pdf"}.contains(job.format))
        return QStringLiteral("records export wants --format json, csv, junit, html or pdf");
    const bool perUnit = job.format == QLatin1String("html") || job.format == QLatin1String("pdf");
    if (perUnit && job.filter.serial.isEmpty() && job.filter.unitId == 0)
        return QStringLiteral("a %1 report is about one unit: give --serial SERIAL or --unit N")
            .arg(job.format);
    if (job.format == QLatin1String("pdf") &&
        (job.output.isEmpty() || job.output == QLatin1String("-")))
        return QStringLiteral("a PDF goes to a file: give --output FILE");
    return {};
}

QString StoreFindingText(const pb::records::RecordsStatus& status) {
    using pb::records::RecordsError;
    const QString& at = status.path;
    const QString detail = status.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(status.detail);
    switch (status.error) {
    case RecordsError::Missing:
        return pb::records::IsServerUrl(at) ? QStringLiteral("no records on %1 yet").arg(at)
                                                                 : QStringLiteral("no records file at %1").arg(at);
    case RecordsError::NotAStore: return QStringLiteral("%1 is not a records file%2").arg(at, detail);
    case RecordsError::Foreign:
        return QStringLiteral("%1 is another program's database, not Panel Bench records").arg(at);
    case RecordsError::Damaged: return QStringLiteral("the records file %1 is damaged%2").arg(at, detail);
    case RecordsError::NewerSchema:
        return QStringLiteral("the records at %1 are of a newer Panel Bench%2; this one leaves them alone").arg(at, detail);
    case RecordsError::OlderSchema:
        return QStringLiteral("the records at %1 are of an older Panel Bench%2; the next command that records a "
                              "run upgrades them").arg(at, detail);
    default:
        return QStringLiteral("the records at '%1' cannot be read (%2: %3)")
            .arg(at, pb::records::ErrorName(status.error), status.detail);
    }
}

int RunRecordsCommand(const RecordsJob& job) {
    // Reading changes nothing: no folder or file made, no schema upgraded, nothing moved.
    using Access = RecordStore::Access;
    RecordStore store;
    const QString path = job.path.isEmpty() ? RecordStore::DefaultPath() : job.path;
    // What waits on this PC is in its own file, whichever records are read.
    if (job.action == QLatin1String("status")) {
        const pb::records::RecordsStatus opened = store.openSqlite(path, Access::ReadOnly);
        if (!store.isOpen()) return failure(StoreFindingText(opened));
        return printStatus(store, job);
    }
    const pb::records::RecordsStatus status =
        job.url.isEmpty() ? store.openSqlite(path, Access::ReadOnly) : store.openUrl(job.url, Access::ReadOnly);
    if (!store.isOpen()) return failure(StoreFindingText(status));
    // Shared records say so, apart from the output a script reads.
    if (store.isServer())
        EmitLines(stderr, {QStringLiteral("panelbench-cli: the shared records on %1").arg(store.where())});
    StatsJob stats = job.stats;
    stats.filter = job.filter;
    const int code = job.action == QLatin1String("list")    ? list(store, job)
                     : job.action == QLatin1String("show")  ? show(store, job)
                     : job.action == QLatin1String("stats") ? PrintStats(store, stats)
                     : job.action == QLatin1String("report") ? lineReport(store, job)
                     : job.action == QLatin1String("verify") ? verifyChains(store, job)
                                                             : exportRuns(store, job);
    // A store that failed in the middle (a damaged page) gave less than there is.
    if (!store.status().ok()) return failure(StoreFindingText(store.status()));
    return code;
}

bool WantsTextLayout(int argc, char* argv[]) {
    bool records = false, pdf = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "records") == 0) records = true;
        // The line report's charts lay out their text in the HTML too.
        if (records && std::strcmp(argv[i], "report") == 0) pdf = true;
        if (std::strcmp(argv[i], "--format=pdf") == 0 || std::strcmp(argv[i], "-format=pdf") == 0 ||
            ((std::strcmp(argv[i], "--format") == 0 || std::strcmp(argv[i], "-format") == 0) &&
             i + 1 < argc && std::strcmp(argv[i + 1], "pdf") == 0))
            pdf = true;
    }
    return records && pdf;
}

}  // namespace cli
