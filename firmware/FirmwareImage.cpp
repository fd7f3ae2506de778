#include "firmware/FirmwareImage.h"

#include <QBuffer>
#include <climits>
#include <cstring>

namespace pb {
namespace {

// Reads up to size bytes into out; fewer only at the end of the device.
qint64 readFully(QIODevice& device, char* out, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const qint64 n = device.read(out + done, size - done);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

}  // namespace

void FirmwareBuffer::erase() {
    for (int k = 0; k < kFirmwareUsedRows; ++k) std::memset(row(k), 0xFF, kFirmwareUsedColumns);
}

std::optional<BlockLayout> BlockLayoutFor(int modelKind) {
    const BlockLayout& blocks = FamilyOf(modelKind).blocks;
    if (blocks.blockSize == 0) return std::nullopt;
    return blocks;
}

QString HeaderText(const QByteArray& header) {
    const QByteArray head = header.left(kFirmwareHeaderSize);
    const qsizetype nul = head.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? head : head.left(nul));
}

bool IsFirmwareHeader(const QByteArray& header) {
    if (header.size() < kFirmwareHeaderSize) return false;
    const QByteArray text = HeaderText(header).toLatin1();
    if (text.isEmpty()) return false;
    for (char c : text)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

bool HeaderMatchesModel(const QByteArray& header, int modelKind, const QString& versionText) {
    // Both are texts compared over at most count characters; a NUL ends the header.
    const QString text = HeaderText(header);
    auto same = [&](int count, const QString& expected) {
        return text.left(count) == expected.left(count);
    };
    const HeaderCheck& check = FamilyOf(modelKind).header;
    if (check.characters == 0) return true;
    if (check.fixedText) return same(check.characters, QLatin1String(check.fixedText));
    // A KV580 controller takes the KV300 image of the same revision.
    if (check.kv580Characters > 0 && versionText.left(5) == QLatin1String("KV580"))
        return same(check.kv580Characters, QStringLiteral("KV300") + versionText.mid(5, 3));
    return same(check.characters, versionText);
}

FirmwareLoadResult LoadFirmwareImage(QIODevice& file, int modelKind, const QString& versionText,
                                     FirmwareBuffer& buffer) {
    buffer.erase();
    QByteArray header(kFirmwareHeaderSize, '\0');
    if (readFully(file, header.data(), kFirmwareHeaderSize) < kFirmwareHeaderSize)
        return FirmwareLoadResult::LoadError;

    const std::optional<BlockLayout> layout = BlockLayoutFor(modelKind);
    if (!layout) return FirmwareLoadResult::Ok;  // no loader for this model: nothing to read

    // Block after block until the file ends or the limit is reached; a block that got
    // no byte does not count, a short one keeps its 0xFF padding.
    int count = 0;
    while (count < layout->blockLimit) {
        const qint64 got = readFully(file, buffer.row(count), layout->blockSize);
        if (got > 0) ++count;
        if (got < layout->blockSize) break;
    }
    if (layout->countCap > 0 && count > layout->countCap) count = layout->countCap;
    buffer.blockCount = count;
    // What the whole image makes, beyond what was read, for the count of blocks left out.
    buffer.blocksInFile = count;
    if (!file.isSequential()) {
        const qint64 image = qMax<qint64>(0, file.size() - kFirmwareHeaderSize);
        buffer.blocksInFile = int((image + layout->blockSize - 1) / layout->blockSize);
    }

    return HeaderMatchesModel(header, modelKind, versionText) ? FirmwareLoadResult::Ok
                                                              : FirmwareLoadResult::ModelError;
}

qint64 FirmwareFileLimit() {
    qint64 most = 0;
    for (const ControllerFamily& family : ControllerFamilies())
        most = qMax(most, qint64(family.blocks.blockSize) * family.blocks.blockLimit);
    return kFirmwareHeaderSize + most;
}

CheckedFile ReadFirmwareFile(const QString& fileName) {
    return ReadCheckedFileHead(fileName, FirmwareFileLimit());
}

FirmwareLoadResult LoadFirmwareFile(const QString& fileName, int modelKind,
                                    const QString& versionText, FirmwareBuffer& buffer,
                                    CheckedFile* check) {
    buffer.erase();
    CheckedFile file = ReadFirmwareFile(fileName);
    const bool ok = file.ok();
    QBuffer image(&file.bytes);
    if (check) *check = file;
    if (!ok || !image.open(QIODevice::ReadOnly)) return FirmwareLoadResult::LoadError;
    const FirmwareLoadResult result = LoadFirmwareImage(image, modelKind, versionText, buffer);
    // Only the head any model reads was read: the blocks left out count the whole file.
    if (const std::optional<BlockLayout> layout = BlockLayoutFor(modelKind);
        layout && file.size > file.bytes.size()) {
        const qint64 rest = file.size - kFirmwareHeaderSize;
        buffer.blocksInFile = int(qMin<qint64>((rest + layout->blockSize - 1) / layout->blockSize, INT_MAX));
    }
    return result;
}

std::optional<QString> ReadFirmwareHeaderText(const QString& fileName) {
    const std::optional<QByteArray> header = ReadFirmwareHeader(fileName);
    if (!header) return std::nullopt;
    return HeaderText(*header);
}

std::optional<QByteArray> ReadFirmwareHeader(const QString& fileName) {
    const CheckedFile file = ReadFirmwareFile(fileName);
    if (!file.ok()) return std::nullopt;
    return file.bytes.left(kFirmwareHeaderSize);
}

}  // namespace pb
