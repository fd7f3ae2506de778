#include "output/CsvCell.h"

namespace pb {
namespace {

bool LooksLikeFormula(QStringView text) {
    if (text.isEmpty()) return false;
    switch (text.front().unicode()) {
    case u'=': case u'+': case u'-': case u'@': case u'\t': case u'\r': return true;
    default: return false;
    }
}

}  // namespace

void AppendCsvCell(QByteArray& out, QStringView text) {
    QByteArray bytes = text.toUtf8();
    if (LooksLikeFormula(text)) bytes.prepend('\'');
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        out += '"';
        out += bytes;
        out += '"';
    } else {
        out += bytes;
    }
}

void AppendCsvRow(QByteArray& out, const QStringList& cells) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i) out += ',';
        AppendCsvCell(out, cells[i]);
    }
    out += "\r\n";
}

}  // namespace pb
