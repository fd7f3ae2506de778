#pragma once
// Text from the store or a scanner for a report (XHTML, and the PDF laid out from it): XML
// escaped, the control characters XML does not allow left out, and the line, paragraph and
// direction controls of Unicode (U+202E and its kind) shown as visible escapes ("\u202E"),
// so that an operator's name or a serial cannot reverse how it, or what follows it, reads.

#include <QString>
#include <QStringView>

namespace pb {

QString ReportText(QStringView text);
// The same without the XML escaping, for text a report draws itself (a chart's label).
QString ReportPlainText(QStringView text);

}  // namespace pb
