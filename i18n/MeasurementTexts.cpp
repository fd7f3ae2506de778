#include "i18n/MeasurementTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

struct NameWords {
    const char* name;
    TextRow words;
};

// clang-format off
constexpr NameWords kNames[] = {
    {"device-id",         {{u"ID", u"ID", u"ID"}}},
    {"model-kind",        {{u"model kind", u"机型类别", u"機型類別"}}},
    {"model-text",        {{u"model", u"机型", u"機型"}}},
    {"version",           {{u"version", u"版本", u"版本"}}},
    {"serial",            {{u"serial number", u"序号", u"序號"}}},
    {"alarm-level",       {{u"alarm level", u"警报级别", u"警報級別"}}},
    {"clock-set",         {{u"clock set to", u"时钟设为", u"時鐘設為"}}},
    {"clock-before",      {{u"controller's clock before", u"设定前控制器时钟", u"設定前控制器時鐘"}}},
    {"clock-offset",      {{u"clock offset", u"时钟偏差", u"時鐘偏差"}}},
    {"answered-after",    {{u"answered after", u"应答时间", u"應答時間"}}},
    {"cycles-run",        {{u"cycles run", u"已执行周期", u"已執行週期"}}},
    {"patterns-applied",  {{u"patterns applied", u"已套用模式", u"已套用模式"}}},
    {"reads-answered",    {{u"reads answered", u"已回应读取", u"已回應讀取"}}},
    {"inputs",            {{u"inputs", u"输入", u"輸入"}}},
    {"records",           {{u"records", u"记录", u"記錄"}}},
    {"reply",             {{u"reply", u"回复", u"回覆"}}},
    {"version-before",    {{u"version before", u"更新前版本", u"更新前版本"}}},
    {"version-after",     {{u"version after", u"更新后版本", u"更新後版本"}}},
    {"blocks",            {{u"blocks", u"区块", u"區塊"}}},
    {"blocks-programmed", {{u"blocks programmed", u"已烧录区块", u"已燒錄區塊"}}},
    {"blocks-verified",   {{u"blocks verified", u"已检查区块", u"已檢查區塊"}}},
    {"blocks-left-out",   {{u"blocks left out", u"未写入区块", u"未寫入區塊"}}},
    {"upgrade-time",      {{u"upgrade time", u"更新时间", u"更新時間"}}},
    {"reply-median",      {{u"reply time (median)", u"回应时间（中位数）", u"回應時間（中位數）"}}},
    {"reply-worst",       {{u"reply time (worst)", u"回应时间（最长）", u"回應時間（最長）"}}},
};
// clang-format on

constexpr TextRow kExpected = {{u"expected %1", u"应为 %1", u"應為 %1"}};
constexpr TextRow kWithin = {{u"limit %1", u"限值 %1", u"限值 %1"}};
constexpr TextRow kOfCycle = {{u"cycle %1, outputs %2", u"第 %1 周期，输出 %2", u"第 %1 週期，輸出 %2"}};
constexpr TextRow kMore = {{u"%1 more", u"另有 %1 项", u"另有 %1 項"}};
constexpr TextRow kNone = {{u"(none)", u"（无）", u"（無）"}};

constexpr int kMostShown = 8;

QString number(double v) {
    return v == double(qint64(v)) ? QString::number(qint64(v)) : QString::number(v, 'f', 1);
}

QString limits(const Measurement& m) {
    if (m.low && m.high && *m.low == *m.high) return number(*m.low);
    if (m.low && m.high) return number(*m.low) + QStringLiteral("..") + number(*m.high);
    if (m.low) return QStringLiteral(">= ") + number(*m.low);
    return QStringLiteral("<= ") + number(*m.high);
}

}  // namespace

QString MeasurementName(const QString& name, int language) {
    for (const NameWords& n : kNames)
        if (name == QLatin1String(n.name)) return RowText(n.words, language);
    return name;
}

QString MeasurementText(const Measurement& m, int language) {
    QString value = m.kind == Measurement::Kind::Number ? number(m.number) : m.text;
    if (value.isEmpty()) value = RowText(kNone, language);
    if (!m.unit.isEmpty()) value += u' ' + m.unit;
    QString text = MeasurementName(m.name, language) + u' ' + value;
    if (!m.of.isEmpty()) {
        const qsizetype slash = m.of.indexOf(u'/');
        text += QStringLiteral(" (") +
                (slash > 0 ? RowText(kOfCycle, language).arg(m.of.left(slash), m.of.mid(slash + 1)) : m.of) + u')';
    }
    if (m.outcome == MeasureOutcome::Fail) {
        if (!m.expected.isEmpty()) text += QStringLiteral(", ") + RowText(kExpected, language).arg(m.expected);
        else if (m.low || m.high) text += QStringLiteral(", ") + RowText(kWithin, language).arg(limits(m));
    }
    return text;
}

QString MeasurementsText(const Measurements& ms, int language) {
    QStringList parts;
    int readings = 0;
    for (const Measurement& m : ms) {
        // A long row of readings shows its failures and its first few.
        if (m.name == QLatin1String("inputs") && m.outcome != MeasureOutcome::Fail && ++readings > kMostShown) continue;
        parts << MeasurementText(m, language);
    }
    if (readings > kMostShown) parts << RowText(kMore, language).arg(readings - kMostShown);
    return parts.join(QStringLiteral("; "));
}

QStringList KnownMeasurementNames() {
    QStringList names;
    for (const NameWords& n : kNames) names << QLatin1String(n.name);
    return names;
}

}  // namespace pb
