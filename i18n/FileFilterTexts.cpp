#include "i18n/FileFilterTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

constexpr TextRow kAllFiles = {{u"All files (*)", u"所有档案 (*)", u"所有檔案 (*)"}};

}  // namespace

QStringList FirmwareFileFilters(int language) {
    // The firmware filter is the window's own text, the same in every language.
    return {QStringLiteral("Firmware files (*.KVF)"), RowText(kAllFiles, language)};
}

}  // namespace pb
