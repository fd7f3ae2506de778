// Loading a firmware file into the block buffer and checking its header against the
// connected controller's model.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include "firmware/FirmwareFileFacts.h"
#include "firmware/FirmwareImage.h"
#include "firmware/ModelCheck.h"
#include "tests/support/RecordingView.h"

using namespace pb;

namespace {

QByteArray header(const QByteArray& model) {
    QByteArray h = model.left(kFirmwareHeaderSize);
    h.append(QByteArray(kFirmwareHeaderSize - h.size(), '\0'));
    return h;
}

// Image bytes that differ from 0xFF and from block to block.
QByteArray image(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 251) % 255);
    return bytes;
}

FirmwareLoadResult load(const QByteArray& file, int kind, const QString& version,
                        FirmwareBuffer& buffer) {
    QBuffer device;
    device.setData(file);
    device.open(QIODevice::ReadOnly);
    return LoadFirmwareImage(device, kind, version, buffer);
}

struct CountCase {
    int kind;
    const char* model;
    int imageBytes;
    int blocks;
};

}  // namespace

TEST(FirmwareImage, BlockCountFollowsTheModelsBlockSizeLimitAndCap) {
    const CountCase cases[] = {
        {3, "KV320MX-V5", 0, 0},
        {3, "KV320MX-V5", 1, 1},
        {3, "KV320MX-V5", 512, 1},  // exact multiple: no empty trailing block
        {3, "KV320MX-V5", 513, 2},
        {3, "KV320MX-V5", 124 * 512, 124},
        {3, "KV320MX-V5", 126 * 512, 124},  // read to the limit, sent up to the cap
        {6, "KV740MX-V6", 200 * 512, 124},
        {1, "KV300MX-V3x", 248 * 256, 248},
        {2, "KV300MX-V3x", 248 * 256 + 1, 248},
        {5, "KV300MX-V3x", 1000 * 256, 248},
        {4, "KV300MX", 984 * 64, 984},  // no cap
        {4, "KV300MX", 984 * 64 + 64, 984},
        {4, "KV300MX", 10 * 64 - 6, 10},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << ", " << c.imageBytes << " bytes");
        FirmwareBuffer buffer;
        buffer.blockCount = -1;
        EXPECT_EQ(load(header(c.model) + image(c.imageBytes), c.kind, "KV300MX-V3x-yy", buffer),
                  FirmwareLoadResult::Ok);
        EXPECT_EQ(buffer.blockCount, c.blocks);
    }
}

TEST(FirmwareImage, BytesLandBlockByBlockAndAShortLastBlockIsPaddedWithFF) {
    FirmwareBuffer buffer;
    // A previous, longer load must not leave bytes behind.
    ASSERT_EQ(load(header("KV150RB") + QByteArray(300 * 64, '\x11'), 4, "KV150RB", buffer),
              FirmwareLoadResult::Ok);

    const QByteArray bytes = image(2 * 64 + 10);
    ASSERT_EQ(load(header("KV150RB") + bytes, 4, "KV150RB", buffer), FirmwareLoadResult::Ok);
    EXPECT_EQ(buffer.blockCount, 3);
    EXPECT_EQ(buffer.block(0, 64), bytes.mid(0, 64));
    EXPECT_EQ(buffer.block(1, 64), bytes.mid(64, 64));
    EXPECT_EQ(buffer.block(2, 64), bytes.mid(128, 10) + QByteArray(54, '\xFF'));
    EXPECT_EQ(buffer.block(3, 64), QByteArray(64, '\xFF'));
    EXPECT_EQ(buffer.block(299, 1024), QByteArray(1024, '\xFF'));
}

TEST(FirmwareImage, AHugeFileIsReadOnlyUpToTheBlockLimit) {
    // 126 blocks of 512 fill rows 0..125; row 126 must stay erased.
    QByteArray file =
        header("KV320MX-V5") + QByteArray(126 * 512, '\x22') + QByteArray(4096, '\x33');
    FirmwareBuffer buffer;
    ASSERT_EQ(load(file, 3, {}, buffer), FirmwareLoadResult::Ok);
    EXPECT_EQ(buffer.blockCount, 124);
    EXPECT_EQ(buffer.block(125, 512), QByteArray(512, '\x22'));
    EXPECT_EQ(buffer.block(126, 512), QByteArray(512, '\xFF'));
}

TEST(FirmwareImage, AFileShorterThanItsHeaderFailsToLoad) {
    for (int size : {0, 1, 15}) {
        FirmwareBuffer buffer;
        buffer.blockCount = 7;
        EXPECT_EQ(load(header("KV320MX-V5").left(size), 3, {}, buffer),
                  FirmwareLoadResult::LoadError);
        EXPECT_EQ(buffer.blockCount, 7);
    }
    FirmwareBuffer buffer;
    EXPECT_EQ(load(header("KV320MX-V5"), 3, {}, buffer), FirmwareLoadResult::Ok);
    EXPECT_EQ(buffer.blockCount, 0);
}

TEST(FirmwareImage, ModelsWithoutALoaderReadNoImageAndKeepTheCount) {
    for (int kind : {0, 7}) {
        FirmwareBuffer buffer;
        buffer.blockCount = 42;
        EXPECT_EQ(load(header("whatever") + image(5000), kind, "KV410", buffer),
                  FirmwareLoadResult::Ok);
        EXPECT_EQ(buffer.blockCount, 42);
        EXPECT_EQ(buffer.block(0, 1024), QByteArray(1024, '\xFF'));
    }
}

TEST(FirmwareImage, HeaderComparisonFollowsTheModelTable) {
    struct Case {
        int kind;
        const char* header;
        const char* version;
        bool match;
    };
    const Case cases[] = {
        {3, "KV320MX-V5 rev 9", "", true},  // only the first ten characters count
        {3, "KV320MX-V4", "", false},
        {3, "KV740MX-V6", "", false},
        {6, "KV740MX-V6", "", true},
        {6, "kv740MX-V6", "", false},
        // Kinds 1, 2, 5: the first eleven characters of the version text.
        {1, "KV300MX-V31 abc", "KV300MX-V31-1.02", true},
        {2, "KV300MX-V32", "KV300MX-V31-1.02", false},
        {5, "KV300MX-V3", "KV300MX-V31-1.02", false},
        // A KV580 takes the KV300 image of the same revision: eight characters.
        {1, "KV300V42x", "KV580V42-2.00", true},
        {2, "KV300V43", "KV580V42-2.00", false},
        {5, "KV580V42", "KV580V42-2.00", false},
        {1, "KV300MX", "KV580", false},
        // Kind 4: the first seven characters.
        {4, "KV150RB-xxxx", "KV150RB 1.0", true},
        {4, "KV150RA", "KV150RB 1.0", false},
        {4, "KV150", "KV150RB 1.0", false},
        {0, "anything", "", true},
        {7, "anything", "KV410xxx", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.header << " / " << c.version);
        EXPECT_EQ(HeaderMatchesModel(header(c.header), c.kind, c.version), c.match);
    }
}

TEST(FirmwareImage, ModelCheckReportsLoadAndModelErrorsInTheCurrentLanguage) {
    QTemporaryDir dir;
    const QString good = dir.filePath("good.KVF");
    const QString wrong = dir.filePath("wrong.KVF");
    const QString shortFile = dir.filePath("short.KVF");
    for (auto [name, bytes] : {std::pair{good, header("KV320MX-V5") + image(1000)},
                               std::pair{wrong, header("KV740MX-V6") + image(1000)},
                               std::pair{shortFile, QByteArray("KV32")}}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    FirmwareBuffer buffer;
    pbtest::RecordingView view;
    EXPECT_TRUE(RunModelCheck(good, 3, {}, buffer, view));
    EXPECT_EQ(buffer.blockCount, 2);
    EXPECT_TRUE(view.statuses.isEmpty());
    EXPECT_TRUE(view.beeps.isEmpty());

    FileRefusal refusal;
    EXPECT_FALSE(RunModelCheck(wrong, 3, {}, buffer, view, &refusal));
    EXPECT_EQ(view.status(),
              "Firmware file format model error! the file is for KV740MX-V6, the controller is KV320MX-V5");
    EXPECT_EQ(refusal.cause, Cause::of(CauseCode::FileForOtherModel, {"KV740MX-V6", "KV320MX-V5"}));
    EXPECT_EQ(view.lamp(), LampColour::Red);
    EXPECT_EQ(view.beeps.last(), (QPair<int, int>{300, 300}));

    EXPECT_FALSE(RunModelCheck(dir.filePath("missing.KVF"), 3, {}, buffer, view));
    EXPECT_EQ(view.status(), "Load firmware file error! no such file: " + dir.filePath("missing.KVF"));
    EXPECT_FALSE(RunModelCheck(shortFile, 3, {}, buffer, view));
    EXPECT_EQ(view.status(), "Load firmware file error! short.KVF is shorter than a firmware header");
    EXPECT_EQ(view.beeps.size(), 3);

    view.shownLanguage = pb::Language::TraditionalChinese;
    EXPECT_FALSE(RunModelCheck(wrong, 3, {}, buffer, view));
    EXPECT_EQ(view.status(), QString::fromUtf8("韌體檔案格式機型錯誤! 檔案適用於 KV740MX-V6，控制器為 KV320MX-V5"));
    // A controller that takes the version text's model: named by it.
    EXPECT_FALSE(RunModelCheck(wrong, 2, "KV300RB-V4.10", buffer, view, &refusal));
    EXPECT_EQ(refusal.cause, Cause::of(CauseCode::FileForOtherModel, {"KV740MX-V6", "KV300RB-V4."}));
    EXPECT_FALSE(RunModelCheck({}, 3, {}, buffer, view, &refusal));
    EXPECT_EQ(refusal.cause.code, CauseCode::FileNotChosen);
}

TEST(FirmwareImage, HeaderTextForTheStatusLineStopsAtTheFirstNul) {
    QTemporaryDir dir;
    QFile f(dir.filePath("a.KVF"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(header("KV320MX-V5") + image(10));
    f.close();
    EXPECT_EQ(ReadFirmwareHeaderText(f.fileName()), QString("KV320MX-V5"));
    EXPECT_EQ(HeaderText("0123456789ABCDEFGHIJ"), "0123456789ABCDEF");
    EXPECT_FALSE(ReadFirmwareHeaderText(dir.filePath("none.KVF")).has_value());
}

// A header that is no printable text names no model: the file is called no firmware
// file, in the status line of the menu, after the model check's error and in the record.
TEST(FirmwareImage, AHeaderThatIsNoTextIsNamedNoFirmwareFile) {
    EXPECT_TRUE(IsFirmwareHeader(header("KV320MX-V5")));
    EXPECT_TRUE(IsFirmwareHeader("KV150RB V1.20.05"));  // 16 characters, no NUL
    EXPECT_FALSE(IsFirmwareHeader(header("")));           // all NUL
    EXPECT_FALSE(IsFirmwareHeader(header("KV320\x01MX")));
    EXPECT_FALSE(IsFirmwareHeader(header("KV320MX\xA9V5")));  // not ASCII
    EXPECT_FALSE(IsFirmwareHeader(QByteArray("\x7F" "ELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00", 16)));
    EXPECT_FALSE(IsFirmwareHeader("KV320MX-V5"));  // a file shorter than a header

    const QByteArray elf("\x7F" "ELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00", 16);
    EXPECT_EQ(FirmwareFileLabel(elf, Language::English), "not a firmware file");
    EXPECT_EQ(FirmwareFileLabel(elf, Language::SimplifiedChinese), QStringLiteral("不是韧体档案"));
    EXPECT_EQ(FirmwareFileLabel(elf, Language::TraditionalChinese), QStringLiteral("不是韌體檔案"));
    EXPECT_EQ(FirmwareFileLabel(header("KV740MX-V6"), Language::English), "KV740MX-V6");

    QTemporaryDir dir;
    const QString binary = dir.filePath("program.KVF");
    QFile f(binary);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(elf + image(2000));
    f.close();
    FirmwareBuffer buffer;
    pbtest::RecordingView view;
    EXPECT_FALSE(RunModelCheck(binary, 3, {}, buffer, view));
    EXPECT_EQ(view.status(), "Firmware file format model error! not a firmware file");
    view.shownLanguage = Language::SimplifiedChinese;
    EXPECT_FALSE(RunModelCheck(binary, 6, {}, buffer, view));
    EXPECT_EQ(view.status(), QStringLiteral("韧体档案格式机型错误! 不是韧体档案"));

    const QJsonObject facts = FirmwareFileFacts(binary);
    EXPECT_FALSE(facts.contains("header"));
    EXPECT_EQ(facts.value("headerHex").toString(), QString::fromLatin1(elf.toHex()));
}

TEST(FirmwareImage, TheBlocksOfAFileBeyondTheModelsCapAreCounted) {
    struct Case {
        int kind;
        int imageBytes;
        int sent, inFile;
    };
    // Capped (kind 3: 124), beyond the read limit (kind 6: 126 read, 124 sent), and the
    // limit of a model without a cap (kind 4: 984); a short last block counts as one.
    for (const Case& c : {Case{3, 124 * 512, 124, 124}, Case{3, 125 * 512 + 1, 124, 126},
                          Case{6, 200 * 512, 124, 200}, Case{4, 1000 * 64, 984, 1000},
                          Case{1, 10 * 256, 10, 10}}) {
        SCOPED_TRACE(c.kind);
        FirmwareBuffer buffer;
        QTemporaryDir dir;
        QFile f(dir.filePath("big.KVF"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(header("KV") + image(c.imageBytes));
        f.close();
        LoadFirmwareFile(f.fileName(), c.kind, {}, buffer);
        EXPECT_EQ(buffer.blockCount, c.sent);
        EXPECT_EQ(buffer.blocksInFile, c.inFile);
        EXPECT_EQ(buffer.blocksLeftOut(), c.inFile - c.sent);
    }
}
