// Files the user names are checked before a byte is read: a device that never ends, a
// FIFO no one writes to, a folder, a file over its limit, a link to nothing are refused
// at once with their reason, in the three languages; a regular file (also through a
// link) is read whole. The readers of recipes and firmware use the same check.
#include <QCryptographicHash>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "files/CheckedFile.h"
#include "firmware/FirmwareFileFacts.h"
#include "firmware/FirmwareImage.h"
#include "i18n/FileCheckTexts.h"
#include "i18n/Messages.h"
#include "catalogue/RecipeLoader.h"

namespace {

using Problem = pb::CheckedFile::Problem;

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
    return f.fileName();
}

QString MakeFifo(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("pipe"));
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

}  // namespace

TEST(CheckedFile, RefusesWhatIsNoRegularFileOrTooBigBeforeReading) {
    QTemporaryDir dir;
    const QString fifo = MakeFifo(dir);
    const QString big = Write(dir, QStringLiteral("big"), QByteArray(101, 'x'));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("dangling"))));
    const struct {
        QString path;
        Problem problem;
    } cases[] = {
        {QStringLiteral("/dev/zero"), Problem::NotAFile},  // never ends
        {fifo, Problem::NotAFile},                         // would wait for a writer
        {dir.path(), Problem::NotAFile},
        {big, Problem::TooLarge},
        {dir.filePath(QStringLiteral("dangling")), Problem::Missing},
        {dir.filePath(QStringLiteral("none")), Problem::Missing},
        {QString(), Problem::Missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const pb::CheckedFile file = pb::ReadCheckedFile(c.path, 100);
        EXPECT_EQ(file.problem, c.problem) << pb::ProblemName(file.problem).toStdString();
        EXPECT_TRUE(file.bytes.isEmpty());
        for (int language = 0; language < pb::kLanguageCount; ++language) {
            const QString text = pb::FileCheckText(file, language);
            EXPECT_TRUE(text.contains(c.path)) << text.toStdString();
            if (c.problem == Problem::TooLarge) {
                EXPECT_TRUE(text.contains(QStringLiteral("101")) && text.contains(QStringLiteral("100")))
                    << text.toStdString();
            }
        }
    }
}

TEST(CheckedFile, ReadsARegularFileWholeAlsoThroughALink) {
    QTemporaryDir dir;
    const QString exact = Write(dir, QStringLiteral("exact"), QByteArray(100, 'y'));
    ASSERT_TRUE(QFile::link(exact, dir.filePath(QStringLiteral("link"))));
    for (const QString& path : {exact, dir.filePath(QStringLiteral("link"))}) {
        const pb::CheckedFile file = pb::ReadCheckedFile(path, 100);
        EXPECT_TRUE(file.ok()) << pb::ProblemName(file.problem).toStdString();
        EXPECT_EQ(file.bytes, QByteArray(100, 'y'));
        EXPECT_EQ(file.size, 100);
        EXPECT_TRUE(pb::FileCheckText(file, 0).isEmpty());
    }
    const pb::CheckedFile empty = pb::ReadCheckedFile(Write(dir, QStringLiteral("empty"), {}), 100);
    EXPECT_TRUE(empty.ok());
    EXPECT_TRUE(empty.bytes.isEmpty());
}

TEST(CheckedFile, RecipesAndFirmwareGoThroughTheCheck) {
    QTemporaryDir dir;
    const QString fifo = MakeFifo(dir);
    // Recipes: a pipe, an endless device and one byte over the limit, each named.
    const QString huge = Write(dir, QStringLiteral("huge.json"), QByteArray(pb::kTextFileLimit + 1, ' '));
    for (const auto& [path, problem] : {std::pair{fifo, pb::RecipeProblem::FileNotRegular},
                                        std::pair{QStringLiteral("/dev/zero"), pb::RecipeProblem::FileNotRegular},
                                        std::pair{huge, pb::RecipeProblem::FileTooLarge}}) {
        const pb::RecipeLoad load = pb::loadRecipeFile(path);
        ASSERT_EQ(load.mistakes.size(), 1);
        EXPECT_EQ(load.mistakes[0].problem, problem);
        for (int language = 0; language < pb::kLanguageCount; ++language)
            EXPECT_TRUE(load.mistakes[0].text(language).contains(path));
    }

    // Firmware: the most any model reads, plus the header, is read of any file; of a
    // larger one only that head, its size still the whole file's.
    const qint64 limit = pb::FirmwareFileLimit();
    EXPECT_EQ(limit, 16 + 126 * 512);
    const QString largest = Write(dir, QStringLiteral("largest.KVF"), QByteArray(limit, 'K'));
    const QString over = Write(dir, QStringLiteral("over.KVF"), QByteArray(limit + 1, 'K'));
    EXPECT_TRUE(pb::ReadFirmwareHeader(largest));
    const pb::CheckedFile head = pb::ReadFirmwareFile(over);
    EXPECT_TRUE(head.ok());
    EXPECT_EQ(head.bytes.size(), limit);
    EXPECT_EQ(head.size, limit + 1);
    EXPECT_FALSE(pb::ReadFirmwareHeader(fifo));
    EXPECT_FALSE(pb::ReadFirmwareHeader(QStringLiteral("/dev/zero")));
    pb::FirmwareBuffer buffer;
    pb::CheckedFile check;
    EXPECT_EQ(pb::LoadFirmwareFile(QStringLiteral("/dev/zero"), 3, QStringLiteral("KV320MX"), buffer, &check),
              pb::FirmwareLoadResult::LoadError);
    EXPECT_EQ(check.problem, Problem::NotAFile);
    // 126 blocks of the head read, the last byte past it counted as the file's 127th.
    EXPECT_NE(pb::LoadFirmwareFile(over, 3, QStringLiteral("KV320MX"), buffer, &check),
              pb::FirmwareLoadResult::LoadError);
    EXPECT_EQ(check.problem, Problem::None);
    EXPECT_EQ(buffer.blocksInFile, 127);
    // The run's record of such a file: its name, never a hash of an endless read.
    EXPECT_FALSE(pb::FirmwareFileFacts(QStringLiteral("/dev/zero")).contains(QStringLiteral("sha256")));
    EXPECT_TRUE(pb::FirmwareFileFacts(largest).contains(QStringLiteral("sha256")));
    // The hash of a file longer than its head is the whole file's.
    QFile overFile(over);
    ASSERT_TRUE(overFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(pb::FirmwareFileFacts(over).value(QStringLiteral("sha256")).toString(),
              QString::fromLatin1(QCryptographicHash::hash(overFile.readAll(), QCryptographicHash::Sha256).toHex()));
}
