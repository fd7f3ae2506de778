#include "records/exports/JunitExport.h"

#include <QDateTime>
#include <QXmlStreamWriter>

#include "catalogue/StepNames.h"

namespace pb::records {
namespace {

QString Seconds(qint64 ms) { return QString::number(double(qMax<qint64>(ms, 0)) / 1000.0, 'f', 3); }

// "input-mismatch: cycle=3 expected=1010 ...": the code and its values, as kept.
QString CauseMessage(const Cause& cause) {
    QStringList values;
    for (auto it = cause.values.constBegin(); it != cause.values.constEnd(); ++it)
        values << QStringLiteral("%1=%2").arg(it.key(), it.value().isString() ? it.value().toString()
                                                                               : it.value().toVariant().toString());
    return values.isEmpty() ? cause.name() : cause.name() + QStringLiteral(": ") + values.join(u' ');
}

qint64 StepMs(RecordStore& store, const RecipeStepRow& step) {
    qint64 ms = 0;
    for (qint64 id : step.runIds)
        if (const auto run = store.queries().run(id); run && run->endMs > 0) ms += run->endMs - run->startMs;
    return ms;
}

}  // namespace

QByteArray ExportJunit(RecordStore& store, const RunFilter& filter) {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("panelbench"));
    for (const RecipeRunRow& run : store.queries().recipeRuns(filter)) {
        int failures = 0, errors = 0, skipped = 0;
        for (const RecipeStepRow& s : run.steps) {
            if (s.verdict == QLatin1String("fail")) ++failures;
            else if (s.verdict == QLatin1String("interrupted") || s.verdict == QLatin1String("running")) ++errors;
            else if (s.verdict == QLatin1String("not-run")) ++skipped;
        }
        const QString serial = run.unitSerial.isEmpty() ? run.scannedSerial : run.unitSerial;
        w.writeStartElement(QStringLiteral("testsuite"));
        w.writeAttribute(QStringLiteral("name"), QStringLiteral("%1 %2").arg(serial, run.recipeName).trimmed());
        w.writeAttribute(QStringLiteral("id"), QString::number(run.id));
        w.writeAttribute(QStringLiteral("tests"), QString::number(run.steps.size()));
        w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
        w.writeAttribute(QStringLiteral("errors"), QString::number(errors));
        w.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
        w.writeAttribute(QStringLiteral("timestamp"),
                         QDateTime::fromMSecsSinceEpoch(run.startMs, Qt::UTC).toString(Qt::ISODate));
        w.writeAttribute(QStringLiteral("time"), Seconds(run.endMs > 0 ? run.endMs - run.startMs : 0));
        w.writeAttribute(QStringLiteral("hostname"), run.station);
        w.writeStartElement(QStringLiteral("properties"));
        std::optional<UnitRow> unit;
        if (run.unitIdentified()) unit = store.queries().unit(run.unitId);
        const QList<std::pair<const char*, QString>> properties = {
            {"verdict", run.verdict},
            {"fixture", run.fixture},
            {"socket", run.socket},
            {"recipe-hash", run.recipeHash},
            {"firmware-version", unit ? unit->identity.version : QString()},
            {"model", unit ? unit->identity.modelText : QString()},
            {"tool-version", QStringLiteral(PANELBENCH_VERSION)}};
        for (const auto& [name, value] : properties) {
            if (value.isEmpty()) continue;
            w.writeStartElement(QStringLiteral("property"));
            w.writeAttribute(QStringLiteral("name"), QLatin1String(name));
            w.writeAttribute(QStringLiteral("value"), value);
            w.writeEndElement();
        }
        w.writeEndElement();  // properties
        for (const RecipeStepRow& s : run.steps) {
            w.writeStartElement(QStringLiteral("testcase"));
            w.writeAttribute(QStringLiteral("classname"), run.recipeName);
            w.writeAttribute(QStringLiteral("name"),
                             QStringLiteral("%1. %2").arg(s.index + 1).arg(pb::ShownStepLabel(s.kind, s.label, 0)));
            w.writeAttribute(QStringLiteral("time"), Seconds(StepMs(store, s)));
            if (s.verdict == QLatin1String("fail")) {
                w.writeStartElement(QStringLiteral("failure"));
                w.writeAttribute(QStringLiteral("type"), s.cause.name());
                w.writeAttribute(QStringLiteral("message"), CauseMessage(s.cause));
                if (s.attempts > 1) w.writeCharacters(QStringLiteral("attempts: %1").arg(s.attempts));
                w.writeEndElement();
            } else if (s.verdict == QLatin1String("interrupted") || s.verdict == QLatin1String("running")) {
                w.writeStartElement(QStringLiteral("error"));
                w.writeAttribute(QStringLiteral("type"), QStringLiteral("interrupted"));
                w.writeAttribute(QStringLiteral("message"), CauseMessage(s.cause));
                w.writeEndElement();
            } else if (s.verdict == QLatin1String("not-run")) {
                w.writeEmptyElement(QStringLiteral("skipped"));
            }
            w.writeEndElement();  // testcase
        }
        w.writeEndElement();  // testsuite
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

}  // namespace pb::records
