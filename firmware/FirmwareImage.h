#pragma once
// The firmware block buffer and the loading of a firmware file into it: a 16-byte
// text header naming the model, then the raw image in address order.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <optional>

#include "files/CheckedFile.h"
#include "procedures/ControllerFamily.h"

namespace pb {

constexpr int kFirmwareHeaderSize = 16;
constexpr int kFirmwareRows = 1030;
constexpr int kFirmwareRowSize = 1030;
// Only the first 1024 bytes of the first 1024 rows are ever used (and erased).
constexpr int kFirmwareUsedRows = 1024;
constexpr int kFirmwareUsedColumns = 1024;

// The window's block buffer: row k holds block k of the image in its first bytes.
class FirmwareBuffer {
public:
    FirmwareBuffer() : bytes_(kFirmwareRows * kFirmwareRowSize, char(0xFF)) {}

    // Sets the used part of every row to 0xFF, so a short last block is padded.
    void erase();
    const char* row(int k) const { return bytes_.constData() + k * kFirmwareRowSize; }
    char* row(int k) { return bytes_.data() + k * kFirmwareRowSize; }
    // The first size bytes of row k.
    QByteArray block(int k, int size) const { return QByteArray(row(k), size); }

    // The number of blocks the upgrade sends; kept between loads when a model has none.
    int blockCount = 0;
    // The blocks the last loaded file's image makes, whether the model takes them all or
    // not; blocksInFile - blockCount were left out.
    int blocksInFile = 0;
    int blocksLeftOut() const { return qMax(0, blocksInFile - blockCount); }

private:
    QByteArray bytes_;
};

// The block layout of the model kind's family; none for a family that reads no image.
std::optional<BlockLayout> BlockLayoutFor(int modelKind);

// Whether a firmware file's header names the model the controller reported, by the
// header check of the model kind's family; any header passes for a family without one.
// header: the 16 header bytes; versionText: the identify step's version caption.
bool HeaderMatchesModel(const QByteArray& header, int modelKind, const QString& versionText);

// The header as the status line shows it: the 16 bytes up to the first NUL.
QString HeaderText(const QByteArray& header);

// Whether a header is the text a firmware file starts with: all 16 bytes there, and up
// to the first NUL at least one character, every one printable ASCII.
bool IsFirmwareHeader(const QByteArray& header);

enum class FirmwareLoadResult { Ok, LoadError, ModelError };

// Loads the image from an open device into the buffer and checks its header.
// Reads only what the model's block limit allows and never past the device's end.
FirmwareLoadResult LoadFirmwareImage(QIODevice& file, int modelKind, const QString& versionText,
                                     FirmwareBuffer& buffer);

// The most of a firmware file there is any use for: the header and the most blocks any
// model reads. Of a larger file only that head is read (its size still counts the blocks
// left out), so no file makes the program grow.
qint64 FirmwareFileLimit();

// A firmware file checked (a regular file) and read up to FirmwareFileLimit.
CheckedFile ReadFirmwareFile(const QString& fileName);

// The same over a file name; a file that cannot be read, or fails the check, gives
// LoadError (and `check`, when given, says why).
FirmwareLoadResult LoadFirmwareFile(const QString& fileName, int modelKind,
                                    const QString& versionText, FirmwareBuffer& buffer,
                                    CheckedFile* check = nullptr);

// The header of a file for the status line, or none when it cannot be read.
std::optional<QString> ReadFirmwareHeaderText(const QString& fileName);

// The first 16 bytes of a file (fewer when it is shorter), or none when it cannot be read.
std::optional<QByteArray> ReadFirmwareHeader(const QString& fileName);

}  // namespace pb
