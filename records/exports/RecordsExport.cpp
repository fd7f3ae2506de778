#include "records/exports/RecordsExport.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPageSize>
#include <QPdfWriter>
#include <QSet>
#include <QAbstractTextDocumentLayout>
#include <QTextDocument>

#include "i18n/CauseTexts.h"
#include "i18n/FeedbackTexts.h"
#include "i18n/RecordsTexts.h"
#include "link/FrameText.h"
#include "output/ReportText.h"
#include "output/CsvCell.h"
#include "catalogue/TestNames.h"
#include "catalogue/StepNames.h"
#include "records/exports/RunWarning.h"
#include "records/exports/ShownStatus.h"

namespace pb::records {
namespace {

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString IsoTime(qint64 ms) {
    if (ms <= 0) return {};
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString LocalTime(qint64 ms) {
    if (ms <= 0) return {};
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Text for XHTML: escaped, without the control characters XML does not allow, the
// direction controls shown.
QString Esc(const QString& text) { return ReportText(text); }

QString DurationText(const RunRow& run) {
    if (run.endMs <= 0) return {};
    return QString::number(double(run.endMs - run.startMs) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

// A firmware upgrade's details: {"file": {"name", "size", "sha256", "header"}, ...,
// "versionBefore", "versionAfter"}.
struct FirmwareLine {
    QString file, sha256, before, after;
    QString release;  // signed by which key, the version and models; unsigned; or why refused
};
// The release policy's verdict kept with the run ({"verdict", "keyId", "manifest"}).
QString ReleaseText(const QJsonObject& release, int language) {
    const QString verdict = release.value(QLatin1String("verdict")).toString();
    if (verdict.isEmpty()) return {};
    if (verdict == QLatin1String("unsigned")) return CauseTitle(CauseCode::Unsigned, language);
    if (verdict == QLatin1String("signed")) {
        const QJsonObject m = release.value(QLatin1String("manifest")).toObject();
        QStringList models;
        for (const QJsonValue& v : m.value(QLatin1String("models")).toArray()) models << v.toString();
        return Text(FeedbackText::SignedRelease, language)
            .arg(release.value(QLatin1String("keyId")).toString(), m.value(QLatin1String("version")).toString(),
                 models.join(QStringLiteral(", ")));
    }
    const std::optional<CauseCode> code = CauseCodeNamed(verdict);
    return code ? CauseTitle(*code, language) : verdict;
}
// A version the run did not read says so, and why, instead of a blank. Runs recorded
// before the reason was kept get the likeliest one: the upgrade's end, or no identify.
QString VersionOrWhy(const RunRow& run, const char* version, const char* why, const char* otherwise,
                     int language) {
    const QString text = run.details.value(QLatin1String(version)).toString();
    if (!text.isEmpty()) return text;
    const QString code = run.details.value(QLatin1String(why)).toString();
    return NotReadText(code.isEmpty() ? QLatin1String(otherwise) : code, language);
}
FirmwareLine FirmwareOf(const RunRow& run, int language) {
    const QJsonObject file = run.details.value(QLatin1String("file")).toObject();
    const bool finished = run.outcome == Outcome::Ok || run.outcome == Outcome::Running;
    return {file.value(QLatin1String("name")).toString(),
            file.value(QLatin1String("sha256")).toString(),
            VersionOrWhy(run, "versionBefore", "versionBeforeNotRead", kNotReadNoIdentifyBefore, language),
            VersionOrWhy(run, "versionAfter", "versionAfterNotRead",
                         finished ? kNotReadNoIdentify : kNotReadUpgradeFailed, language),
            ReleaseText(run.details.value(QLatin1String("release")).toObject(), language)};
}

// The unit test's failing step as a person reads it: "step 1 identify: <why>".
QString FailingText(const RecipeRunRow& run, int language) {
    const RecipeStepRow* step = run.failing();
    if (!step) return ShownCause(run.cause, language);
    return Text(RecordText::FailedAtStep, language)
        .arg(step->index + 1)
        .arg(ShownStepLabel(step->kind, step->label, language), ShownCause(run.cause, language));
}

QJsonValue CauseJson(const Cause& cause) { return ToJson(cause); }

QString CauseValuesText(const Cause& cause) {
    return cause.values.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(cause.values).toJson(QJsonDocument::Compact));
}

QJsonValue RetestJson(const RecipeRunRow& run) {
    return run.retest >= 0 ? QJsonValue(run.retest) : QJsonValue(QJsonValue::Null);
}
QString RetestCell(const RecipeRunRow& run) { return run.retest >= 0 ? QString::number(run.retest) : QString(); }

// "first test", "retest 2"; empty while it runs or under a link.
QString RetestText(const RecipeRunRow& run, int language) {
    if (run.retest < 0) return {};
    return run.retest == 0 ? Text(RecordText::FirstTest, language) : Text(RecordText::RetestNumber, language).arg(run.retest);
}

// Each recipe the unit was tested on: its tests, how many were retests, and the verdict of
// the last (the list is newest first).
QString RetestSummaryHtml(const QList<RecipeRunRow>& newestFirst, int language) {
    QStringList recipes;
    QHash<QString, std::pair<int, QString>> seen;  // tests, the last one's verdict
    for (const RecipeRunRow& r : newestFirst) {
        if (r.retest < 0) continue;
        auto it = seen.find(r.recipeName);
        if (it == seen.end()) {
            recipes << r.recipeName;
            it = seen.insert(r.recipeName, {0, r.verdict});
        }
        ++it->first;
    }
    QString html;
    for (const QString& recipe : recipes) {
        const auto& [tests, last] = seen.value(recipe);
        html += QStringLiteral("<p>") +
                Esc(Text(RecordText::RetestSummary, language)
                        .arg(recipe)
                        .arg(tests)
                        .arg(tests - 1)
                        .arg(RecipeVerdictName(last, language))) +
                QStringLiteral("</p>\n");
    }
    return html;
}

QJsonValue IdOrNull(qint64 id) { return id > 0 ? QJsonValue(id) : QJsonValue(QJsonValue::Null); }

QString Cell(const QString& text, const char* cls = nullptr) {
    return cls ? QStringLiteral("<td class=\"%1\">%2</td>").arg(QLatin1String(cls), Esc(text))
               : QStringLiteral("<td>") + Esc(text) + QStringLiteral("</td>");
}

QString Head(RecordText id, int language, int widthPercent = 0) {
    if (widthPercent > 0)
        return QStringLiteral("<th width=\"%1%\">").arg(widthPercent) + Esc(Text(id, language)) +
               QStringLiteral("</th>");
    return QStringLiteral("<th>") + Esc(Text(id, language)) + QStringLiteral("</th>");
}

// The unit's tests by recipe, newest first: each with its verdict, then its steps.
QString RecipeRunsHtml(RecordStore& store, qint64 unitId, int language) {
    RunFilter filter;
    filter.unitId = unitId;
    const QList<RecipeRunRow> recipeRuns = store.queries().recipeRuns(filter);
    QString html = QStringLiteral("<h2>") + Esc(Text(RecordText::ReportRecipes, language)) + QStringLiteral("</h2>\n");
    if (recipeRuns.isEmpty())
        return html + QStringLiteral("<p>") + Esc(Text(RecordText::ReportNoRecipes, language)) + QStringLiteral("</p>\n");
    html += RetestSummaryHtml(recipeRuns, language);
    html += QLatin1String("<table cellspacing=\"0\" cellpadding=\"3\" border=\"1\" width=\"100%\">\n<tr>");
    const std::pair<RecordText, int> heads[] = {
        {RecordText::ColStep, 22}, {RecordText::ColUnitVerdict, 10}, {RecordText::ColMeasured, 34},
        {RecordText::ColStatus, 34}};
    for (const auto& [head, width] : heads) html += Head(head, language, width);
    html += QLatin1String("</tr>\n");
    for (const RecipeRunRow& r : recipeRuns) {
        // The unit test's own line, then one line per step (those not reached too).
        html += QStringLiteral("<tr><td colspan=\"4\"><b>") + Esc(LocalTime(r.startMs) + QStringLiteral("  ") + r.recipeName) +
                QStringLiteral("</b>  <span class=\"%1\">").arg(r.verdict == QLatin1String("pass") ? "ok" : "bad") +
                Esc(RecipeVerdictName(r.verdict, language)) + QStringLiteral("</span>  ") +
                (r.retest >= 0 ? Esc(RetestText(r, language)) + QStringLiteral("  ") : QString()) +
                Esc(Text(RecordText::ColScannedSerial, language) + QStringLiteral(": ") + r.scannedSerial) +
                QStringLiteral("<br/><span class=\"hash\">SHA-256 ") + Esc(r.recipeHash) +
                QStringLiteral("</span></td></tr>\n");
        for (const RecipeStepRow& s : r.steps)
            html += QStringLiteral("<tr>") +
                    Cell(QStringLiteral("%1. %2").arg(s.index + 1).arg(ShownStepLabel(s.kind, s.label, language))) +
                    Cell(RecipeVerdictName(s.verdict, language),
                         s.verdict == QLatin1String("pass") ? "ok" : s.verdict == QLatin1String("fail") ? "bad" : nullptr) +
                    Cell(ShownMeasured(s, language)) + Cell(ShownStepCause(s, language)) +
                    QStringLiteral("</tr>\n");
    }
    return html + QLatin1String("</table>\n");
}

}  // namespace

QString OutcomeName(Outcome outcome, int language) {
    switch (outcome) {
    case Outcome::Running: return Text(RecordText::OutcomeRunning, language);
    case Outcome::Ok: return Text(RecordText::OutcomeOk, language);
    case Outcome::Error: return Text(RecordText::OutcomeError, language);
    case Outcome::OpenFailed: return Text(RecordText::OutcomeOpenFailed, language);
    case Outcome::Interrupted: return Text(RecordText::OutcomeInterrupted, language);
    case Outcome::Watched: return Text(RecordText::OutcomeWatched, language);
    }
    return {};
}

QJsonObject UnitJson(const UnitRow& unit) {
    return {{"id", unit.id},
            {"serial", TextOrNull(unit.identity.serial)},
            {"link", unit.linkText},
            {"modelKind", unit.identity.modelKind >= 0 ? QJsonValue(unit.identity.modelKind)
                                                       : QJsonValue(QJsonValue::Null)},
            {"modelText", unit.identity.modelText},
            {"version", unit.identity.version},
            {"deviceId", unit.identity.deviceId},
            {"firstSeenMs", unit.firstSeenMs},
            {"lastSeenMs", unit.lastSeenMs}};
}

QJsonObject RunJson(const RunRow& run) {
    return {{"id", run.id},
            {"unitId", run.unitSerial.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(run.unitId)},
            {"recipeRunId", IdOrNull(run.recipeRunId)},
            {"attempt", run.recipeAttempt > 0 ? QJsonValue(run.recipeAttempt) : QJsonValue(QJsonValue::Null)},
            {"serial", TextOrNull(run.unitSerial)},
            {"station", run.station},
            {"operator", run.operatorName},
            {"link", run.linkText},
            {"procedure", run.procedure},
            {"startMs", run.startMs},
            {"endMs", run.endMs > 0 ? QJsonValue(run.endMs) : QJsonValue(QJsonValue::Null)},
            {"outcome", OutcomeCode(run.outcome)},
            {"cause", run.outcome == Outcome::Running ? QJsonValue(QJsonValue::Null) : CauseJson(run.cause)},
            {"measurements", ToJson(run.measurements)},
            {"statusText", run.statusText},
            {"details", run.details},
            {"frameCount", run.frameCount},
            {"framesDropped", run.framesDropped}};
}

QJsonObject RecipeRunJson(const RecipeRunRow& run) {
    QJsonArray steps;
    for (const RecipeStepRow& s : run.steps) {
        QJsonArray runIds;
        for (qint64 id : s.runIds) runIds.append(id);
        QJsonArray tries;
        for (const Cause& c : s.attemptCauses) tries.append(ToJson(c));
        const bool ran = s.verdict != QLatin1String("not-run") && s.verdict != QLatin1String("running");
        steps.append(QJsonObject{{"step", s.index + 1},
                                 {"kind", s.kind},
                                 {"label", s.label},
                                 {"verdict", s.verdict},
                                 {"cause", ran ? CauseJson(s.cause) : QJsonValue(QJsonValue::Null)},
                                 {"measurements", ToJson(s.measurements)},
                                 {"attempts", s.attempts},
                                 {"attemptCauses", tries},
                                 {"reason", s.reasonText},
                                 {"measured", s.measured},
                                 {"runIds", runIds}});
    }
    return {{"id", run.id},
            {"unitId", run.unitIdentified() ? QJsonValue(run.unitId) : QJsonValue(QJsonValue::Null)},
            {"serial", TextOrNull(run.unitSerial)},
            {"scannedSerial", run.scannedSerial},
            {"recipe", run.recipeName},
            {"recipeHash", run.recipeHash},
            {"station", run.station},
            {"operator", run.operatorName},
            {"link", run.linkText},
            {"startMs", run.startMs},
            {"endMs", run.endMs > 0 ? QJsonValue(run.endMs) : QJsonValue(QJsonValue::Null)},
            {"verdict", run.verdict},
            {"retest", RetestJson(run)},
            {"outcome", OutcomeCode(run.outcome())},
            {"failingStep", run.failingStep >= 0 ? QJsonValue(run.failingStep + 1) : QJsonValue(QJsonValue::Null)},
            {"cause", run.verdict == QLatin1String("running") ? QJsonValue(QJsonValue::Null) : CauseJson(run.cause)},
            {"reason", run.reasonText},
            {"fixture", TextOrNull(run.fixture)},
            {"socket", TextOrNull(run.socket)},
            {"fixtureHash", TextOrNull(run.fixtureHash)},
            {"toolVersion", TextOrNull(run.toolVersion)},
            {"chainHash", TextOrNull(run.chain.hash)},
            {"steps", steps}};
}

QStringList RecipeRunLines(const RecipeRunRow& run, qint64 runId, int language) {
    int step = 0;
    for (const RecipeStepRow& s : run.steps)
        if (s.runIds.contains(runId)) step = s.index + 1;
    QStringList lines{Text(RecordText::RecipeOfRun, language)
                          .arg(run.recipeName, RecipeVerdictName(run.verdict, language))
                          .arg(step)
                          .arg(run.steps.size())};
    if (run.failingStep >= 0) lines << QStringLiteral("  ") + FailingText(run, language);
    lines << Text(RecordText::ColScannedSerial, language) + QStringLiteral(": ") + run.scannedSerial;
    for (const RecipeStepRow& s : run.steps) {
        QString line = QStringLiteral("%1 %2. %3  %4")
                           .arg(s.index + 1 == step ? QStringLiteral(">") : QStringLiteral(" "))
                           .arg(s.index + 1)
                           .arg(ShownStepLabel(s.kind, s.label, language), RecipeVerdictName(s.verdict, language));
        if (const QString m = ShownMeasured(s, language); !m.isEmpty()) line += QStringLiteral("  ") + m;
        if (const QString why = ShownStepCause(s, language); !why.isEmpty()) line += QStringLiteral("  ") + why;
        lines << line;
    }
    return lines;
}

QJsonArray TrafficJson(const KeptTraffic& traffic) {
    QJsonArray frames;
    for (const TrafficFrame& f : traffic.frames)
        frames.append(QJsonObject{{"ms", f.ms},
                                  {"direction", DirectionCode(f.direction)},
                                  {"bytesHex", QString::fromLatin1(f.bytes.toHex())},
                                  {"text", FrameText(f.bytes)},
                                  {"verdict", f.verdict},
                                  {"note", f.note}});
    return frames;
}

QByteArray ExportJson(RecordStore& store, const RunFilter& filter, bool withTraffic) {
    const QList<RunRow> runs = store.queries().runs(filter);
    QJsonArray runArray;
    QList<qint64> unitIds;
    QSet<qint64> seen;
    for (const RunRow& run : runs) {
        QJsonObject object = RunJson(run);
        if (withTraffic) {
            const KeptTraffic traffic = store.queries().traffic(run.id);
            object.insert(QLatin1String("traffic"), TrafficJson(traffic));
            object.insert(QLatin1String("trafficDroppedAfter"), traffic.droppedAfter);
        }
        runArray.append(object);
        if (!seen.contains(run.unitId)) {
            seen.insert(run.unitId);
            unitIds << run.unitId;
        }
    }
    // The unit tests the filter selects, as it selects runs (by the outcome of their verdict).
    QJsonArray recipeArray;
    for (const RecipeRunRow& recipeRun : store.queries().recipeRuns(filter)) {
        recipeArray.append(RecipeRunJson(recipeRun));
        if (!seen.contains(recipeRun.unitId)) {
            seen.insert(recipeRun.unitId);
            unitIds << recipeRun.unitId;
        }
    }
    // Units only: a link's runs before any identify belong to none.
    QJsonArray unitArray;
    for (qint64 id : unitIds)
        if (const auto unit = store.queries().unit(id); unit && unit->identified) unitArray.append(UnitJson(*unit));
    const QJsonObject root{{"format", QLatin1String(kJsonFormat)},
                           {"formatVersion", kJsonFormatVersion},
                           {"exportedMs", QDateTime::currentMSecsSinceEpoch()},
                           {"station", QHostInfo::localHostName()},
                           {"units", unitArray},
                           {"runs", runArray},
                           {"recipeRuns", recipeArray}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QStringList CsvColumns() {
    return {QStringLiteral("run_id"),    QStringLiteral("serial"),
            QStringLiteral("unit_link"), QStringLiteral("procedure"),
            QStringLiteral("outcome"),   QStringLiteral("start_utc"),
            QStringLiteral("end_utc"),   QStringLiteral("duration_ms"),
            QStringLiteral("operator"),  QStringLiteral("station"),
            QStringLiteral("link"),      QStringLiteral("status_text"),
            QStringLiteral("frames"),    QStringLiteral("details_json"),
            QStringLiteral("recipe_run_id"), QStringLiteral("recipe"),
            QStringLiteral("recipe_step"), QStringLiteral("recipe_verdict"),
            QStringLiteral("warning"),   QStringLiteral("fixture"),
            QStringLiteral("socket"),    QStringLiteral("cause"),
            QStringLiteral("cause_values"), QStringLiteral("recipe_sha256"),
            QStringLiteral("fixture_sha256"), QStringLiteral("tool_version"),
            QStringLiteral("attempt"),   QStringLiteral("retest")};
}

QByteArray ExportCsv(RecordStore& store, const RunFilter& filter) {
    const QList<RunRow> runs = store.queries().runs(filter);
    const QList<RecipeRunRow> recipeRuns = store.queries().recipeRuns(filter);
    QHash<qint64, QString> unitLinks;
    const auto unitLink = [&](qint64 unitId) {
        if (!unitLinks.contains(unitId)) {
            const std::optional<UnitRow> unit = store.queries().unit(unitId);
            unitLinks.insert(unitId, unit ? unit->linkText : QString());
        }
        return unitLinks.value(unitId);
    };
    // The unit test of each run (read once each): its recipe, the step and its verdict.
    QHash<qint64, std::optional<RecipeRunRow>> recipes;
    for (const RecipeRunRow& r : recipeRuns) recipes.insert(r.id, r);
    const auto recipeOf = [&](qint64 id) -> const std::optional<RecipeRunRow>& {
        if (!recipes.contains(id)) recipes.insert(id, store.queries().recipeRun(id));
        return *recipes.find(id);
    };
    const auto stepText = [](const RecipeRunRow& r, int index) {
        for (const RecipeStepRow& s : r.steps)
            if (s.index == index) return QStringLiteral("%1 %2").arg(s.index + 1).arg(s.label);
        return QString();
    };
    // Procedure runs and unit tests, newest first: a unit test is a row of its own.
    struct Line {
        qint64 startMs, id;
        const RunRow* run;
        const RecipeRunRow* recipeRun;
    };
    QList<Line> lines;
    for (const RunRow& run : runs) lines.append({run.startMs, run.id, &run, nullptr});
    for (const RecipeRunRow& r : recipeRuns) lines.append({r.startMs, r.id, nullptr, &r});
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.startMs != b.startMs ? a.startMs > b.startMs : a.id > b.id;
    });
    QByteArray out("\xEF\xBB\xBF");
    out.reserve(lines.size() * 200);
    AppendCsvRow(out, CsvColumns());
    for (const Line& line : lines) {
        if (const RecipeRunRow* r = line.recipeRun) {
            AppendCsvRow(out, {QString(), r->unitSerial, unitLink(r->unitId), QLatin1String(kRecipeProcedure),
                               OutcomeCode(r->outcome()), IsoTime(r->startMs), IsoTime(r->endMs),
                               r->endMs > 0 ? QString::number(r->endMs - r->startMs) : QString(),
                               r->operatorName, r->station, r->linkText, FailingText(*r, 0), QString(), QString(),
                               QString::number(r->id), r->recipeName, stepText(*r, r->failingStep), r->verdict,
                               QString(), r->fixture, r->socket, r->cause.name(), CauseValuesText(r->cause),
                               r->recipeHash, r->fixtureHash, r->toolVersion, QString(), RetestCell(*r)});
            continue;
        }
        const RunRow& run = *line.run;
        const std::optional<RecipeRunRow> none;
        const std::optional<RecipeRunRow>& recipe = run.recipeRunId > 0 ? recipeOf(run.recipeRunId) : none;
        AppendCsvRow(out, {QString::number(run.id), run.unitSerial, unitLink(run.unitId),
                           run.procedure, OutcomeCode(run.outcome), IsoTime(run.startMs),
                           IsoTime(run.endMs),
                           run.endMs > 0 ? QString::number(run.endMs - run.startMs) : QString(),
                           run.operatorName, run.station, run.linkText, run.statusText,
                           QString::number(run.frameCount),
                           QString::fromUtf8(QJsonDocument(run.details).toJson(QJsonDocument::Compact)),
                           recipe ? QString::number(recipe->id) : QString(), recipe ? recipe->recipeName : QString(),
                           recipe ? stepText(*recipe, run.recipeStep) : QString(),
                           recipe ? recipe->verdict : QString(), RunWarningCode(run.details),
                           recipe ? recipe->fixture : QString(), recipe ? recipe->socket : QString(),
                           run.outcome == Outcome::Running ? QString() : run.cause.name(), CauseValuesText(run.cause),
                           recipe ? recipe->recipeHash : QString(), recipe ? recipe->fixtureHash : QString(),
                           recipe ? recipe->toolVersion : QString(),
                           run.recipeAttempt > 0 ? QString::number(run.recipeAttempt) : QString(),
                           recipe ? RetestCell(*recipe) : QString()});
    }
    return out;
}

QString UnitReportHtml(RecordStore& store, qint64 unitId, int language) {
    const std::optional<UnitRow> unit = store.queries().unit(unitId);
    if (!unit) return {};
    RunFilter filter;
    filter.unitId = unitId;
    const QList<RunRow> runs = store.queries().runs(filter);
    const QString name = unit->identified
                             ? unit->identity.serial
                             : Text(RecordText::Unidentified, language).arg(unit->linkText);
    const QString title = Text(RecordText::ReportTitle, language).arg(name);

    QString html;
    html.reserve(4096 + runs.size() * 400);
    html += QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><meta charset=\"UTF-8\"/>"
        "<title>%1</title><style type=\"text/css\">"
        "body { font-family: sans-serif; font-size: 9pt; }"
        "h1 { font-size: 16pt; } h2 { font-size: 12pt; margin-top: 14pt; }"
        "table { border-collapse: collapse; }"
        "th { background-color: #e4e8ee; text-align: left; }"
        "th, td { border: 1px solid #9aa4b1; padding: 2px 6px; }"
        ".ok { color: #1c6b2b; } .bad { color: #a11d1d; font-weight: bold; }"
        ".hash { font-family: monospace; font-size: 8pt; }"
        ".note { color: #555555; font-size: 8pt; }"
        "</style></head><body>\n<h1>%1</h1>\n").arg(Esc(title));

    const auto row = [&](RecordText head, const QString& value) {
        html += QStringLiteral("<tr>") + Head(head, language) + Cell(value) + QStringLiteral("</tr>\n");
    };
    html += QStringLiteral("<h2>") + Esc(Text(RecordText::ReportIdentity, language)) +
            QStringLiteral("</h2>\n<table cellspacing=\"0\" cellpadding=\"3\" border=\"1\">\n");
    row(RecordText::ColSerial, unit->identity.serial);
    row(RecordText::ColModel, unit->identity.modelText);
    row(RecordText::ColVersion, unit->identity.version);
    row(RecordText::ReportDeviceId, unit->identity.deviceId);
    row(RecordText::ColLink, unit->linkText);
    row(RecordText::ReportFirstSeen, LocalTime(unit->firstSeenMs));
    row(RecordText::ColLastSeen, LocalTime(unit->lastSeenMs));
    html += QLatin1String("</table>\n");

    html += RecipeRunsHtml(store, unitId, language);

    html += QStringLiteral("<h2>") + Esc(Text(RecordText::ReportRuns, language)) +
            QStringLiteral("</h2>\n<table cellspacing=\"0\" cellpadding=\"3\" border=\"1\" width=\"100%\">\n<tr>");
    const std::pair<RecordText, int> runHeads[] = {
        {RecordText::ColStarted, 17}, {RecordText::ColProcedure, 13}, {RecordText::ColOutcome, 12},
        {RecordText::ColDuration, 11}, {RecordText::ColOperator, 12}, {RecordText::ColStation, 11},
        {RecordText::ColStatus, 24}};
    for (const auto& [head, width] : runHeads) html += Head(head, language, width);
    html += QLatin1String("</tr>\n");
    QList<const RunRow*> firmware;
    // The unit tests stand among the runs, each with the outcome of its verdict.
    const QList<RecipeRunRow> unitTests = store.queries().recipeRuns(filter);
    qsizetype nextTest = 0;
    const auto testRow = [&](const RecipeRunRow& r) {
        html += QStringLiteral("<tr>") + Cell(LocalTime(r.startMs)) +
                Cell(Text(RecordText::UnitTestOf, language).arg(r.recipeName) +
                     (r.retest > 0 ? QStringLiteral(" (") + RetestText(r, language) + u')' : QString())) +
                Cell(OutcomeName(r.outcome(), language), r.outcome() == Outcome::Ok ? "ok" : "bad") +
                Cell(r.endMs > 0 ? QString::number(double(r.endMs - r.startMs) / 1000.0, 'f', 1) + QStringLiteral(" s")
                                 : QString()) +
                Cell(r.operatorName) + Cell(r.station) + Cell(FailingText(r, language)) +
                QStringLiteral("</tr>\n");
    };
    for (const RunRow& run : runs) {
        while (nextTest < unitTests.size() && unitTests[nextTest].startMs >= run.startMs) testRow(unitTests[nextTest++]);
        if (run.procedure == TestName(TestId::FirmwareUpgrade)) firmware << &run;
        html += QStringLiteral("<tr>") + Cell(LocalTime(run.startMs)) +
                Cell(ProcedureName(run.procedure, language)) +
                Cell(OutcomeName(run.outcome, language) + RunWarningText(run.details, language),
                     run.outcome == Outcome::Ok ? "ok" : "bad") +
                Cell(DurationText(run)) + Cell(run.operatorName) + Cell(run.station) +
                Cell(ShownRunStatus(run, language)) + QStringLiteral("</tr>\n");
    }
    while (nextTest < unitTests.size()) testRow(unitTests[nextTest++]);
    html += QLatin1String("</table>\n");

    html += QStringLiteral("<h2>") + Esc(Text(RecordText::ReportFirmware, language)) + QStringLiteral("</h2>\n");
    if (firmware.isEmpty()) {
        html += QStringLiteral("<p>") + Esc(Text(RecordText::ReportNoFirmware, language)) + QStringLiteral("</p>\n");
    } else {
        html += QLatin1String("<table cellspacing=\"0\" cellpadding=\"3\" border=\"1\" width=\"100%\">\n<tr>");
        const std::pair<RecordText, int> firmwareHeads[] = {
            {RecordText::ColStarted, 19},        {RecordText::ReportFile, 45},
            {RecordText::ReportVersionBefore, 13}, {RecordText::ReportVersionAfter, 11},
            {RecordText::ColOutcome, 12}};
        for (const auto& [head, width] : firmwareHeads) html += Head(head, language, width);
        html += QLatin1String("</tr>\n");
        for (const RunRow* run : firmware) {
            const FirmwareLine line = FirmwareOf(*run, language);
            html += QStringLiteral("<tr>") + Cell(LocalTime(run->startMs)) + QStringLiteral("<td>") + Esc(line.file) +
                    QStringLiteral("<br/><span class=\"hash\">SHA-256 ") + Esc(line.sha256) + QStringLiteral("</span>") +
                    (line.release.isEmpty() ? QString() : QStringLiteral("<br/>") + Esc(line.release)) +
                    QStringLiteral("</td>") +
                    Cell(line.before) + Cell(line.after) +
                    Cell(OutcomeName(run->outcome, language) + RunWarningText(run->details, language),
                         run->outcome == Outcome::Ok ? "ok" : "bad") +
                    QStringLiteral("</tr>\n");
        }
        html += QLatin1String("</table>\n");
    }
    html += QStringLiteral("<p class=\"note\">") +
            Esc(Text(RecordText::ReportPrinted, language)
                    .arg(LocalTime(QDateTime::currentMSecsSinceEpoch()), QHostInfo::localHostName())) +
            QStringLiteral("</p>\n</body></html>\n");
    return html;
}

SaveResult WriteUnitReportPdf(RecordStore& store, qint64 unitId, int language, const QString& path) {
    // Laying out text needs the fonts of a QGuiApplication (the offscreen platform will do).
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {false, QStringLiteral("no text layout without a QGuiApplication")};
    const QString html = UnitReportHtml(store, unitId, language);
    if (html.isEmpty()) return {false, QStringLiteral("no unit %1 in the records").arg(unitId)};
    return WriteWholeFile(path, [&](QIODevice& file, QString&) {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(Text(RecordText::ReportTitle, language).arg(QString()));
        writer.setCreator(QStringLiteral("Panel Bench"));
        // Laid out on the writer itself, so the page margins are the only margins.
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&writer);
        document.setPageSize(writer.pageLayout().paintRectPixels(writer.resolution()).size());
        document.setHtml(html);
        document.print(&writer);
        return true;
    });
}

}  // namespace pb::records
