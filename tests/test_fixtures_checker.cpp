// Fixture files: a good one read into its values, every mistake of a bad one named with
// its line and field (the recipe's own mistakes as the recipe checker names them), and an
// adapter socket's port found in made-up port lists.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "multiup/AdapterMatch.h"
#include "multiup/FixtureLoader.h"
#include "tests/support/QtPrinters.h"

using pb::FixtureProblem;

namespace {

QStringList Found(const pb::FixtureLoad& load) {
    QStringList out;
    for (const pb::FixtureMistake& m : load.mistakes)
        out.append(QStringLiteral("%1 %2 %3").arg(m.line).arg(m.field).arg(int(m.problem)));
    out.sort();
    return out;
}

QString Expect(int line, const char* field, FixtureProblem p) {
    return QStringLiteral("%1 %2 %3").arg(line).arg(QLatin1String(field)).arg(int(p));
}

// A folder holding a good recipe, and one with a mistake at line 4.
struct Folder {
    QTemporaryDir dir;
    Folder() {
        write("kv410.json", R"({"schema": 1, "product": "KV410", "steps": [{"kind": "identify"}]})");
        write("sub/bad.json", "{\"schema\": 1,\n \"product\": \"KV410\",\n \"steps\": [\n  {\"kind\": \"reboot\", \"within-s\": 0}]}");
    }
    void write(const QString& name, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    pb::FixtureLoad load(const char* text) const { return pb::loadFixture(QByteArray(text), dir.path()); }
};

TEST(FixtureChecker, AGoodFixtureIsReadIntoItsValues) {
    Folder folder;
    const pb::FixtureLoad load = folder.load(R"({"schema": 1, "fixture": "KV410 4-up", "recipe": "kv410.json",
 "start": "on-key",
 "sockets": [
  {"name": "A1", "tcp": "127.0.0.1:4001"},
  {"name": "A2", "serial": "/dev/pts/41", "speed": "9600,n,8,1", "id": "0001"},
  {"name": "A3", "adapter": "FT232R:A10K3Z9Q", "rs485": true}]})");
    ASSERT_TRUE(load.mistakes.isEmpty()) << Found(load).join(u'\n').toStdString();
    ASSERT_TRUE(load.fixture);
    const pb::Fixture& f = *load.fixture;
    EXPECT_EQ(f.name, "KV410 4-up");
    EXPECT_EQ(f.recipePath, QDir(folder.dir.path()).absoluteFilePath("kv410.json"));
    EXPECT_EQ(f.recipe.product, "KV410");
    EXPECT_EQ(f.start, pb::FixtureStart::OnKey);
    ASSERT_EQ(f.sockets.size(), 3);
    EXPECT_EQ(f.sockets[0].link, pb::FixtureSocket::Link::Tcp);
    EXPECT_EQ(f.sockets[0].address, "127.0.0.1:4001");
    EXPECT_EQ(f.sockets[0].speed, "19200,e,8,1");
    EXPECT_EQ(f.sockets[0].line, 4);
    EXPECT_EQ(f.sockets[1].link, pb::FixtureSocket::Link::Serial);
    EXPECT_EQ(f.sockets[1].speed, "9600,n,8,1");
    EXPECT_EQ(f.sockets[1].id, "0001");
    EXPECT_FALSE(f.sockets[1].rs485);
    EXPECT_EQ(f.sockets[2].link, pb::FixtureSocket::Link::Adapter);
    EXPECT_EQ(f.sockets[2].address, "FT232R:A10K3Z9Q");
    EXPECT_TRUE(f.sockets[2].rs485);
    EXPECT_EQ(f.socket("A2"), &f.sockets[1]);

    // "when-full" is the default start.
    const pb::FixtureLoad plain =
        folder.load(R"({"schema": 1, "fixture": "F", "recipe": "kv410.json", "sockets": [{"name": "A1", "tcp": "127.0.0.1:1"}]})");
    ASSERT_TRUE(plain.fixture) << Found(plain).join(u'\n').toStdString();
    EXPECT_EQ(plain.fixture->start, pb::FixtureStart::WhenFull);
}

TEST(FixtureChecker, EveryMistakeIsNamedWithItsLineAndField) {
    Folder folder;
    const pb::FixtureLoad load = folder.load(R"({"schema": 1, "fixture": "KV410 4-up", "recipe": "kv410.json",
 "start": "at-once",
 "colour": "red",
 "sockets": [
  {"name": "A1", "tcp": "127.0.0.1:4001", "sped": "19200,e,8,1"},
  {"name": "A2", "tcp": "127.0.0.1:4002",
   "serial": "/dev/pts/41"},
  {"name": "A1", "serial": "/dev/pts/42", "speed": "19200,x,8,1"},
  {"name": "A4"},
  {"name": "A5", "tcp": "127.0.0.1:99999", "rs485": true},
  {"name": "A6", "adapter": "FT232R", "id": "12"},
  {"name": "A7", "tcp": "127.0.0.1:4007", "speed": "9600,n,8,1"}]})");
    EXPECT_FALSE(load.fixture);
    QStringList want{Expect(2, "start", FixtureProblem::BadStart),
                     Expect(3, "colour", FixtureProblem::UnknownField),
                     Expect(5, "sockets[0].sped", FixtureProblem::UnknownField),
                     Expect(7, "sockets[1].serial", FixtureProblem::TwoLinks),
                     Expect(8, "sockets[2].name", FixtureProblem::DuplicateSocket),
                     Expect(8, "sockets[2].speed", FixtureProblem::BadSpeed),
                     Expect(9, "sockets[3]", FixtureProblem::NoLink),
                     Expect(10, "sockets[4].tcp", FixtureProblem::BadTcpAddress),
                     Expect(10, "sockets[4].rs485", FixtureProblem::NotForTcp),
                     Expect(11, "sockets[5].adapter", FixtureProblem::BadAdapter),
                     Expect(11, "sockets[5].id", FixtureProblem::BadDeviceId),
                     Expect(12, "sockets[6].speed", FixtureProblem::NotForTcp)};
    want.sort();
    EXPECT_EQ(Found(load), want);

    // Worded with the line and field, naming what is wrong, in each language.
    for (const pb::FixtureMistake& m : load.mistakes) {
        if (m.problem != FixtureProblem::DuplicateSocket) continue;
        EXPECT_EQ(m.text(0), "line 8, sockets[2].name: the socket name 'A1' is already used at line 5");
        EXPECT_EQ(m.text(1), "第 8 行，sockets[2].name：穴位名称“A1”已在第 5 行使用");
        EXPECT_EQ(m.text(2), "第 8 行，sockets[2].name：穴位名稱「A1」已在第 5 行使用");
    }
    for (const pb::FixtureMistake& m : load.mistakes) {
        if (m.problem == FixtureProblem::TwoLinks) {
            EXPECT_TRUE(m.text(0).contains("(tcp, serial)")) << m.text(0).toStdString();
        }
    }
}

TEST(FixtureChecker, OnlyALinkThatOpensPassesNoNameIsLookedUp) {
    Folder folder;
    for (const char* tcp : {"localhost:4001", "[::ffff:127.0.0.1]:4001", "127.0.0.1:+5", "127.0.0.1:1:2", "127.0.0.256:4001"}) {
        const pb::FixtureLoad load = pb::loadFixture(QStringLiteral(R"({"schema": 1, "fixture": "F", "recipe": "kv410.json",
 "sockets": [{"name": "A1", "tcp": "%1"}]})").arg(tcp).toUtf8(), folder.dir.path());
        EXPECT_EQ(Found(load), QStringList{Expect(2, "sockets[0].tcp", FixtureProblem::BadTcpAddress)}) << tcp;
        EXPECT_TRUE(load.mistakes.value(0).text(0).contains("names such as localhost are not looked up"));
    }
}

TEST(FixtureChecker, TheSocketsAreOneToSixteen) {
    Folder folder;
    QByteArray many = R"({"schema": 1, "fixture": "F", "recipe": "kv410.json",
 "sockets": [)";
    for (int i = 1; i <= 17; ++i)
        many += QStringLiteral("%1\n  {\"name\": \"S%2\", \"tcp\": \"127.0.0.1:%3\"}").arg(i > 1 ? "," : "").arg(i).arg(4000 + i).toUtf8();
    many += "]}";
    const pb::FixtureLoad load = pb::loadFixture(many, folder.dir.path());
    EXPECT_EQ(Found(load), QStringList{Expect(2, "sockets", FixtureProblem::SocketCount)});
    EXPECT_EQ(load.mistakes.value(0).text(0), "line 2, sockets: 17 sockets: a fixture holds 1 to 16");

    many.replace("\n  {\"name\": \"S17\", \"tcp\": \"127.0.0.1:4017\"}", "");
    many.replace("},]}", "}]}");
    EXPECT_TRUE(pb::loadFixture(many, folder.dir.path()).fixture) << Found(pb::loadFixture(many, folder.dir.path())).join(u'\n').toStdString();

    const pb::FixtureLoad none = folder.load(R"({"schema": 1, "fixture": "F", "recipe": "kv410.json", "sockets": []})");
    EXPECT_EQ(Found(none), QStringList{Expect(1, "sockets", FixtureProblem::SocketCount)});
}

TEST(FixtureChecker, TheRecipeIsFoundBesideTheFixtureAndChecked) {
    Folder folder;
    const pb::FixtureLoad missing = folder.load(R"({"schema": 1, "fixture": "F",
 "recipe": "kv999.json", "sockets": [{"name": "A1", "tcp": "127.0.0.1:1"}]})");
    EXPECT_EQ(Found(missing), QStringList{Expect(2, "recipe", FixtureProblem::RecipeNotFound)});
    EXPECT_EQ(missing.mistakes.value(0).text(0),
              "line 2, recipe: the recipe " + QDir(folder.dir.path()).absoluteFilePath("kv999.json") + " is not there");

    // The recipe's own mistakes, each as the recipe checker words it, at the fixture's recipe field.
    const pb::FixtureLoad bad = folder.load(R"({"schema": 1, "fixture": "F",
 "recipe": "sub/bad.json", "sockets": [{"name": "A1", "tcp": "127.0.0.1:1"}]})");
    ASSERT_EQ(Found(bad), QStringList{Expect(2, "recipe", FixtureProblem::InRecipe)});
    ASSERT_TRUE(bad.mistakes[0].inRecipe);
    EXPECT_EQ(bad.mistakes[0].inRecipe->field, "steps[0].within-s");
    EXPECT_EQ(bad.mistakes[0].text(0),
              "line 2, recipe: in the recipe sub/bad.json: line 4, steps[0].within-s: out of range, allowed 1 to 600");
    EXPECT_EQ(bad.mistakes[0].text(1),
              "第 2 行，recipe：配方 sub/bad.json 中：第 4 行，steps[0].within-s：超出范围，允许 1 至 600");

    // A file: the recipe relative to the fixture's own folder, wherever it is read from.
    folder.write("sub/fx.json", R"({"schema": 1, "fixture": "F", "recipe": "../kv410.json", "sockets": [{"name": "A1", "tcp": "127.0.0.1:1"}]})");
    const pb::FixtureLoad file = pb::loadFixtureFile(folder.dir.filePath("sub/fx.json"));
    ASSERT_TRUE(file.fixture) << Found(file).join(u'\n').toStdString();
    EXPECT_EQ(file.fixture->recipe.product, "KV410");
    EXPECT_EQ(file.fixture->sourcePath, folder.dir.filePath("sub/fx.json"));
}

// Ports as the system might list them: two FTDI adapters, a CP210x without a serial
// number, a built-in port and a pty.
QList<pb::PortFacts> Ports() {
    return {
        {"ttyUSB0", "FT232R USB UART", "FTDI", 0x0403, 0x6001, "A50285BI"},
        {"ttyUSB1", "FT232R USB UART", "FTDI", 0x0403, 0x6001, "A10K3Z9Q"},
        {"ttyUSB2", "CP2102 USB to UART Bridge Controller", "Silicon Labs", 0x10c4, 0xea60, "",
         "", "pci-0000:00:14.0-usb-0:2:1.0-port0"},
        {"ttyS0", "", "", std::nullopt, std::nullopt, ""},
        {"pts/3", "", "", std::nullopt, std::nullopt, ""},
    };
}

TEST(AdapterMatch, AnAdapterIsFoundByItsFullIdOrByModelAndSerial) {
    using F = pb::AdapterPort::Failure;
    const QList<pb::PortFacts> ports = Ports();
    EXPECT_EQ(pb::FindAdapterPort(ports, "usb:0403:6001:sn=A10K3Z9Q").port, "ttyUSB1");
    EXPECT_EQ(pb::FindAdapterPort(ports, "FT232R:A10K3Z9Q").port, "ttyUSB1");
    EXPECT_EQ(pb::FindAdapterPort(ports, "ft232r:A50285BI").port, "ttyUSB0");  // the model's case is the description's
    EXPECT_EQ(pb::FindAdapterPort(ports, "usb:10c4:ea60:at=pci-0000:00:14.0-usb-0:2:1.0-port0").port, "ttyUSB2");

    // The serial number is the port's exactly; the model must be in the description.
    EXPECT_EQ(pb::FindAdapterPort(ports, "FT232R:a10k3z9q").failure, F::NotFound);
    EXPECT_EQ(pb::FindAdapterPort(ports, "CP2102:A10K3Z9Q").failure, F::NotFound);
    // A port without a serial number is never the short form's.
    EXPECT_EQ(pb::FindAdapterPort(ports, "CP2102:").failure, F::NotFound);

    // Two adapters with the same identity (cloned serial numbers): named, not guessed.
    QList<pb::PortFacts> cloned = ports;
    cloned.append({"ttyUSB3", "FT232R USB UART", "FTDI", 0x0403, 0x6001, "A10K3Z9Q"});
    const pb::AdapterPort twice = pb::FindAdapterPort(cloned, "FT232R:A10K3Z9Q");
    EXPECT_EQ(twice.failure, F::Several);
    EXPECT_EQ(twice.matching, QStringList({"ttyUSB1", "ttyUSB3"}));
    EXPECT_TRUE(twice.port.isEmpty());
    EXPECT_EQ(pb::FindAdapterPort(cloned, "usb:0403:6001:sn=A10K3Z9Q").failure, F::Several);

    EXPECT_TRUE(pb::IsAdapterText("FT232R:A10K3Z9Q"));
    EXPECT_TRUE(pb::IsAdapterText("usb:0403:6001:sn=A50285BI"));
    for (const char* bad : {"FT232R", ":A10K3Z9Q", "FT232R:", "a:b:c", "usb:"}) EXPECT_FALSE(pb::IsAdapterText(bad)) << bad;
}

}  // namespace
