// The firmware file reader and the model check with arbitrary files, for every model kind
// 0..7 and arbitrary or typical version texts. The file is written once per input into a
// fixed temporary folder and checked through the model check the window runs.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>

#include "firmware/FirmwareImage.h"
#include "firmware/ModelCheck.h"
#include "i18n/Messages.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace pb;

// Version texts an identify step shows, plus room for arbitrary ones from the input.
const char* const kVersionTexts[] = {"",           "KV300V1.23",    "KV580V2.01A", "KV580",
                                     "KV320MX-V5", "KV740MX-V6 X", "KV410",       "KV5",
                                     "KV580\xE4\xB8\xAD", "KV300V1.2345678"};
constexpr int kVersionTextCount = int(sizeof(kVersionTexts) / sizeof(kVersionTexts[0]));

// Records what the model check reports.
class ReportView : public TestRunView {
public:
    void setStatus(const QString& text) override { status = text, ++calls; }
    void setLamp(LampColour colour) override { lamp = colour, ++calls; }
    void setBusy(bool) override { ++calls; }
    void setWaitCursor(bool) override { ++calls; }
    void beep(int frequencyHz, int durationMs) override { beepHz = frequencyHz, beepMs = durationMs, ++calls; }
    void processEvents() override {}
    Language language() const override { return shownLanguage; }

    Language shownLanguage = Language::English;
    QString status;
    LampColour lamp = LampColour::Yellow;
    int beepHz = 0;
    int beepMs = 0;
    int calls = 0;
};

struct Scratch {
    QTemporaryDir dir;
    QString fileName = dir.filePath(QStringLiteral("image.KVF"));
    FirmwareBuffer buffer;  // reused: it is 1 MB
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

const char* AllFF() {
    static const QByteArray ff(kFirmwareUsedColumns, char(0xFF));
    return ff.constData();
}

// Expected blocks for a layout and an image of `imageSize` bytes.
int ExpectedBlockCount(const BlockLayout& layout, qint64 imageSize) {
    const qint64 blocks = (imageSize + layout.blockSize - 1) / layout.blockSize;
    qint64 count = std::min<qint64>(blocks, layout.blockLimit);
    if (layout.countCap > 0) count = std::min<qint64>(count, layout.countCap);
    return int(count);
}

void CheckKind(int kind, const QString& version, const QByteArray& file, Language language) {
    Scratch& s = scratch();
    FirmwareBuffer& buffer = s.buffer;
    const int countBefore = 1000 + kind;  // a count no load of a layout could produce
    buffer.blockCount = countBefore;
    ReportView view;
    view.shownLanguage = language;
    const bool passed = RunModelCheck(s.fileName, kind, version, buffer, view);

    const std::optional<BlockLayout> layout = BlockLayoutFor(kind);
    FUZZ_REQUIRE(bool(layout) == (kind >= 1 && kind <= 6));
    const bool headerComplete = file.size() >= kFirmwareHeaderSize;
    const bool matches = HeaderMatchesModel(file.left(kFirmwareHeaderSize), kind, version);
    if (!layout) FUZZ_REQUIRE(matches);  // kinds without a loader pass any header

    // Outcome: short file -> load error; wrong model -> model error; else passed.
    FUZZ_REQUIRE(passed == (headerComplete && matches));
    if (passed) {
        FUZZ_REQUIRE(view.calls == 0);  // a passed check shows nothing
    } else {
        const MsgId id = headerComplete ? MsgId::FirmwareFileModelError : MsgId::LoadFirmwareFileError;
        // The ending, then why; a header that is no text is named as no firmware file.
        const QByteArray head = file.left(kFirmwareHeaderSize);
        const QString ending = Msg(id, language);
        FUZZ_REQUIRE(view.status.startsWith(ending + u' ') && view.status.size() > ending.size() + 1);
        if (headerComplete && !IsFirmwareHeader(head))
            FUZZ_REQUIRE(view.status == ending + u' ' + FirmwareFileLabel(head, language));
        FUZZ_REQUIRE(view.lamp == LampColour::Red && view.beepHz == kLowBeepHz && view.beepMs == kBeepMs);
    }

    // The count: kept without a layout or without a header, else what the image yields,
    // never above the cap, the limit or what the padded buffer rows can hold.
    if (!layout || !headerComplete) {
        FUZZ_REQUIRE(buffer.blockCount == countBefore);
    } else {
        const qint64 imageSize = file.size() - kFirmwareHeaderSize;
        FUZZ_REQUIRE(buffer.blockCount == ExpectedBlockCount(*layout, imageSize));
        FUZZ_REQUIRE(buffer.blockCount >= 0 && buffer.blockCount <= layout->blockLimit);
        if (layout->countCap > 0) FUZZ_REQUIRE(buffer.blockCount <= layout->countCap);
        FUZZ_REQUIRE(buffer.blockCount <= kFirmwareUsedRows && layout->blockSize <= kFirmwareUsedColumns);
    }

    // The buffer: image bytes block by block, 0xFF after them up to the used width.
    const qint64 imageSize = headerComplete && layout ? file.size() - kFirmwareHeaderSize : 0;
    const int blockSize = layout ? layout->blockSize : kFirmwareUsedColumns;
    const qint64 readable = layout ? std::min<qint64>(imageSize, qint64(layout->blockLimit) * blockSize) : 0;
    const int rowsToCheck = int(std::min<qint64>(kFirmwareUsedRows, (readable + blockSize - 1) / blockSize + 1));
    for (int k = 0; k < rowsToCheck; ++k) {
        const char* row = buffer.row(k);
        const qint64 from = qint64(k) * blockSize;
        const int have = int(std::clamp<qint64>(readable - from, 0, blockSize));
        if (have > 0) FUZZ_REQUIRE(std::memcmp(row, file.constData() + kFirmwareHeaderSize + from, size_t(have)) == 0);
        FUZZ_REQUIRE(std::memcmp(row + have, AllFF(), size_t(kFirmwareUsedColumns - have)) == 0);
    }
}

}  // namespace

// Input: a model kind byte (low three bits), a version selector byte (a typical version
// text, or above those the bytes up to the next newline as the version text), a language
// byte, then the firmware file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pbfuzz::InputReader in(data, size);
    const int checkedKind = in.byte() % 8;
    const uint8_t selector = in.byte();
    const Language language = LanguageAt(in.byte() % 3);
    QString version;
    if (selector < kVersionTextCount) {
        version = QString::fromUtf8(kVersionTexts[selector]);
    } else {
        size_t n = 0;
        const uint8_t* text = in.until('\n', n);
        version = (selector & 1) ? QString::fromUtf8(reinterpret_cast<const char*>(text), qsizetype(n))
                                 : QString::fromLatin1(reinterpret_cast<const char*>(text), qsizetype(n));
    }
    size_t fileSize = 0;
    const uint8_t* bytes = in.rest(fileSize);
    const QByteArray file(reinterpret_cast<const char*>(bytes), qsizetype(fileSize));

    {
        QFile out(scratch().fileName);
        FUZZ_REQUIRE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_REQUIRE(out.write(file) == file.size());
    }

    // One model kind per input runs the whole model check (each clears the 1 MB block
    // buffer, so all eight per input would slow the search eightfold); the header
    // comparison runs for all eight.
    CheckKind(checkedKind, version, file, language);
    for (int kind = 0; kind <= 7; ++kind)
        if (!BlockLayoutFor(kind)) FUZZ_REQUIRE(HeaderMatchesModel(file.left(kFirmwareHeaderSize), kind, version));

    // The status line text of the file: the header up to its first NUL, Latin-1.
    const std::optional<QString> shown = ReadFirmwareHeaderText(scratch().fileName);
    FUZZ_REQUIRE(shown && *shown == HeaderText(file));
    FUZZ_REQUIRE(shown->size() <= kFirmwareHeaderSize && !shown->contains(QChar(0)));

    // A controller reporting exactly the header's text is matched by the kinds that
    // compare with the version text (unless that text starts "KV580", which names the
    // KV300 image instead).
    const QString header = HeaderText(file);
    if (!header.startsWith(QLatin1String("KV580")))
        for (int kind : {1, 2, 4, 5}) FUZZ_REQUIRE(HeaderMatchesModel(file.left(kFirmwareHeaderSize), kind, header));

    // Kinds 3 and 6 compare with their own fixed texts, whatever the version text says.
    const QByteArray head = file.left(kFirmwareHeaderSize);
    FUZZ_REQUIRE(HeaderMatchesModel(head, 3, version) == head.startsWith("KV320MX-V5"));
    FUZZ_REQUIRE(HeaderMatchesModel(head, 6, version) == head.startsWith("KV740MX-V6"));

    // A file that cannot be opened is a load error and keeps the count.
    if (selector == 0xFF) {
        FirmwareBuffer& buffer = scratch().buffer;
        buffer.blockCount = 5;
        ReportView view;
        FUZZ_REQUIRE(!RunModelCheck(scratch().fileName + QStringLiteral(".missing"), 3, version, buffer, view));
        FUZZ_REQUIRE(view.status == Msg(MsgId::LoadFirmwareFileError, Language::English) +
                                        QStringLiteral(" no such file: ") + scratch().fileName +
                                        QStringLiteral(".missing") &&
                     buffer.blockCount == 5);
    }
    return 0;
}
