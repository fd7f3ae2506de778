#include "i18n/FileCheckTexts.h"

#include "i18n/TextRow.h"

namespace pb {
namespace {

using Problem = CheckedFile::Problem;

constexpr TextRow kTexts[] = {
    {{u"", u"", u""}},
    {{u"no file at %1", u"找不到档案 %1", u"找不到檔案 %1"}},
    {{u"%1 is not a regular file (a folder, pipe or device)",
      u"%1 不是一般档案 (而是文件夹、管道或装置)", u"%1 不是一般檔案 (而是資料夾、管道或裝置)"}},
    {{u"%1 is %2 bytes, more than the %3 bytes such a file may have",
      u"%1 有 %2 字节，超过此类档案上限 %3 字节", u"%1 有 %2 位元組，超過此類檔案上限 %3 位元組"}},
    {{u"cannot read %1: %2", u"无法读取 %1：%2", u"無法讀取 %1：%2"}},
};
static_assert(std::size(kTexts) == size_t(Problem::Unreadable) + 1);

}  // namespace

QString FileCheckText(const CheckedFile& file, int language) {
    const QString text = RowText(kTexts[size_t(file.problem)], language);
    switch (file.problem) {
        case Problem::None: return {};
        case Problem::Missing:
        case Problem::NotAFile: return text.arg(file.path);
        case Problem::TooLarge: return text.arg(file.path).arg(file.size).arg(file.limit);
        case Problem::Unreadable: return text.arg(file.path, file.detail);
    }
    return {};
}

}  // namespace pb
