// The firmware page of the real window, offscreen, against the simulated controller:
// choosing the file in dlgLoad and the "Firmware load" button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include "app/TfrmModule.h"
#include "app/WindowColours.h"
#include "records/store/RecordStore.h"
#include "settings/Settings.h"
#include "signing/Minisign.h"
#include "tests/support/QtPrinters.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

struct FirmwareWindow {
    FirmwareWindow(sim::Model model, const QString& id)
        : controller(model, id), server(controller) {
        QApplication::setQuitOnLastWindowClosed(false);
        server.listen(0);
        auto& u = window.ui();
        u.pcPort->setCurrentWidget(u.tsNet);
        u.edIP->setText("127.0.0.1");
        u.edPort->setText(QString::number(server.port()));
        window.setProcedureClock(&clock);
        window.show();
        // The page is hidden by design; the test shows it to use it as a user would.
        u.pcMain->setTabVisible(u.pcMain->indexOf(u.tsFirmware), true);
        u.pcMain->setCurrentWidget(u.tsFirmware);
    }
    Ui::TfrmModule& ui() { return window.ui(); }

    // Opens the menu entry and answers the dialog with fileName, or cancels it.
    void chooseFile(const QString& fileName) {
        // Qt's own dialog: a platform one would not take the test's answer.
        window.ui().tsFirmware->dlgLoad()->setOption(QFileDialog::DontUseNativeDialog);
        QTimer::singleShot(0, [this, fileName] {
            QFileDialog* d = window.ui().tsFirmware->dlgLoad();
            if (fileName.isEmpty()) return d->reject();
            const QFileInfo info(fileName);
            d->setDirectory(info.absolutePath());
            // The dialog leaves its name field alone while that has the focus (the second
            // time it is shown).
            if (QWidget* focused = d->focusWidget()) focused->clearFocus();
            d->selectFile(info.fileName());
            static_cast<QDialog*>(d)->done(QDialog::Accepted);
        });
        window.ui().tsFirmware->mnuFirmwareFileClick();
    }

    // A file of the test's folder with these bytes; its path.
    QString write(const QString& file, const QByteArray& bytes) {
        QFile f(dir.filePath(file));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    QTemporaryDir dir;
    sim::Controller controller;
    sim::TcpServer server;
    pb::RecordingClock clock;
    TfrmModule window;
};

}  // namespace

TEST(FirmwareWindow, TheMenuStoresTheChosenFileAndShowsItsHeader) {
    FirmwareWindow w(sim::Model::V5, "0001");
    auto& u = w.ui();
    // The firmware files first, as the window's design asks; any file a click away.
    EXPECT_EQ(w.window.ui().tsFirmware->dlgLoad()->nameFilters(), QStringList({"Firmware files (*.KVF)", "All files (*)"}));
    w.ui().mnuTraditional->trigger();
    EXPECT_EQ(w.window.ui().tsFirmware->dlgLoad()->nameFilters(), QStringList({"Firmware files (*.KVF)", "所有檔案 (*)"}));
    w.ui().mnuEnglish->trigger();
    u.pbProgram->setValue(40);
    u.pbVerify->setValue(30);

    const QString name = w.dir.filePath("new.KVF");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FirmwareFileBytes("KV320MX-V5", PatternImage(600)));
    f.close();
    w.chooseFile(name);
    EXPECT_EQ(u.pnFile->text(), name);
    EXPECT_EQ(w.window.settings().firmwareFile, name);
    pb::Settings stored;
    pb::LoadSettings(stored);
    EXPECT_EQ(stored.firmwareFile, name);
    EXPECT_EQ(u.pbProgram->value(), 0);
    EXPECT_EQ(u.pbVerify->value(), 0);
    EXPECT_EQ(u.pnMsg->text(), "KV320MX-V5");

    u.pbProgram->setValue(40);
    u.pbVerify->setValue(30);
    w.chooseFile({});  // cancelled: nothing changes
    EXPECT_EQ(u.pnFile->text(), name);
    EXPECT_EQ(w.window.settings().firmwareFile, name);
    EXPECT_EQ(u.pbProgram->value(), 40);
    EXPECT_EQ(u.pbVerify->value(), 30);
}

TEST(FirmwareWindow, FirmwareLoadUpgradesWhileTheBarsMoveAndTheWindowStaysDisabled) {
    FirmwareWindow w(sim::Model::V5, "0001");
    auto& u = w.ui();
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    ASSERT_EQ(w.window.state().modelKind, 3);

    const QString name = w.dir.filePath("v5.KVF");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray image = PatternImage(124 * 512);
    f.write(FirmwareFileBytes("KV320MX-V5", image));
    f.close();
    w.chooseFile(name);

    // Sample the window from its own event loop while the upgrade runs.
    QList<int> programSeen, verifySeen;
    bool everEnabled = false;  // while programming or verifying
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        programSeen.append(u.pbProgram->value());
        verifySeen.append(u.pbVerify->value());
        const QString status = u.pnMsg->text();
        if (status == "Programming ..." || status == "Verifying ...")
            everEnabled = everEnabled || w.window.isEnabled();
    });
    sampler.start(1);
    w.controller.clearCommands();
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    sampler.stop();

    EXPECT_EQ(u.pnMsg->text(), "Command ok.");
    EXPECT_EQ(w.controller.flash().left(124 * 512) == image, true);
    EXPECT_EQ(u.pbProgram->maximum(), 124);
    EXPECT_EQ(u.pbProgram->value(), 124);
    EXPECT_EQ(u.pbVerify->value(), 124);
    EXPECT_FALSE(everEnabled);
    EXPECT_TRUE(w.window.isEnabled());
    // The bars were seen between their ends, not only at them.
    auto between = [](const QList<int>& seen) {
        return std::any_of(seen.begin(), seen.end(), [](int v) { return v > 0 && v < 124; });
    };
    EXPECT_TRUE(between(programSeen));
    EXPECT_TRUE(between(verifySeen));
    EXPECT_EQ(w.clock.pauses().last(), 7000);
    EXPECT_EQ(w.controller.commands().last(), "0001ZrAA55");
}

TEST(FirmwareWindow, AnUnidentifiedControllerGetsNothingAndTheWindowComesBack) {
    FirmwareWindow w(sim::Model::V5, "0001");
    auto& u = w.ui();
    const QString name = w.dir.filePath("any.KVF");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FirmwareFileBytes("KV320MX-V5", PatternImage(600)));
    f.close();
    w.chooseFile(name);

    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);  // model kind 0: no loader
    EXPECT_EQ(u.pnMsg->text(), "Command error! no controller identified");
    EXPECT_TRUE(w.controller.commands().isEmpty());
    EXPECT_TRUE(w.window.isEnabled());
    EXPECT_FALSE(w.window.link().isOpen());
}

TEST(FirmwareWindow, ANonFirmwareFileAndAnUpgradesLeftoversAreNamedInTheStatusLine) {
    FirmwareWindow w(sim::Model::V5, "0001");
    auto& u = w.ui();
    auto write = [&](const QString& file, const QByteArray& bytes) { return w.write(file, bytes); };

    // All files there before the dialog first lists the folder.
    const QString program = write("program.KVF", QByteArray("\x7F" "ELF\x02\x01\x01", 7) + PatternImage(4000));
    const QString big = write("big.KVF", FirmwareFileBytes("KV320MX-V5", PatternImage(130 * 512)));
    const QString small = write("v5.KVF", FirmwareFileBytes("KV320MX-V5", PatternImage(4 * 512)));

    // A program, not firmware: its header is not shown as if it named a model.
    w.chooseFile(program);
    EXPECT_EQ(u.pnMsg->text(), "not a firmware file");
    w.window.mnuTraditionalClick();
    w.chooseFile(program);
    EXPECT_EQ(u.pnMsg->text(), QStringLiteral("不是韌體檔案"));
    w.window.mnuEnglishClick();

    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    ASSERT_EQ(w.window.state().modelKind, 3);

    // More blocks than the model takes: programmed to its cap, the rest counted.
    w.chooseFile(big);
    ASSERT_EQ(u.pnFile->text(), big);
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), "Command ok. 6 blocks left out");
    EXPECT_TRUE(u.pnMsg->toolTip().contains("130 blocks")) << u.pnMsg->toolTip().toStdString();
    EXPECT_TRUE(u.pbProgram->text().startsWith("124 / 124 blocks   100%")) << u.pbProgram->text().toStdString();
    EXPECT_TRUE(u.pbVerify->text().startsWith("124 / 124 blocks   100%")) << u.pbVerify->text().toStdString();

    // Verify failed once blocks were written: the unit must be upgraded again.
    w.controller.faults().corruptVerifyBlock = 1;
    w.chooseFile(small);
    ASSERT_EQ(u.pnFile->text(), small);
    EXPECT_EQ(u.pbProgram->text(), "");  // a new file: the last upgrade's figures went
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), "Command error! block 2 differs when read back. Upgrade again before use");
    EXPECT_TRUE(u.pnMsg->toolTip().contains("without working firmware")) << u.pnMsg->toolTip().toStdString();
    EXPECT_EQ(u.shComm->brushColor(), pb::ColourFromBgr(pb::kBgrRed));
    EXPECT_TRUE(u.pbVerify->text().startsWith("1 / 4 blocks   25%")) << u.pbVerify->text().toStdString();
}

// A file the model check refuses: the status line says why, whatever was said when it was
// chosen, and the unit's records keep the refusal with the file's facts.
TEST(FirmwareWindow, ARefusedFileSaysWhyAtLoadAndIsKeptAsARefusedUpgrade) {
    FirmwareWindow w(sim::Model::V5, "0001");
    auto& u = w.ui();
    auto write = [&](const QString& file, const QByteArray& bytes) { return w.write(file, bytes); };
    const QString other = write("v6.KVF", FirmwareFileBytes("KV740MX-V6", PatternImage(3 * 512)));
    const QString program = write("program.KVF", QByteArray("\x7F" "ELF\x02\x01\x01", 7) + PatternImage(4000));
    const QString gone = write("gone.KVF", FirmwareFileBytes("KV320MX-V5", PatternImage(512)));
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    ASSERT_EQ(w.window.state().modelKind, 3);
    const QString serial = u.pnSN->text().section(u' ', 0, 0).mid(4);
    const qsizetype commandsBefore = w.controller.commands().size();
    pb::records::RecordStore& store = w.window.records();
    ASSERT_TRUE(store.isOpen());
    auto lastRun = [&] {
        const auto runs = store.queries().runs({}, 1);
        return runs.isEmpty() ? pb::records::RunRow{} : *store.queries().run(runs[0].id);
    };

    w.chooseFile(other);
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    const QString mismatch = "Firmware file format model error! the file is for KV740MX-V6, the controller is KV320MX-V5";
    EXPECT_EQ(u.pnMsg->text(), mismatch);
    EXPECT_EQ(u.pnMsg->shownText(), mismatch);  // smaller if need be, never cut
    EXPECT_EQ(u.shComm->brushColor(), pb::ColourFromBgr(pb::kBgrRed));
    pb::records::RunRow run = lastRun();
    EXPECT_EQ(run.procedure, "firmware-upgrade");
    EXPECT_EQ(run.outcome, pb::records::Outcome::Error);
    EXPECT_EQ(run.statusText, mismatch);
    EXPECT_EQ(run.unitSerial, serial);
    EXPECT_EQ(run.details.value("refused").toString(), "model-error");
    const QJsonObject file = run.details.value("file").toObject();
    EXPECT_EQ(file.value("name").toString(), "v6.KVF");
    EXPECT_EQ(file.value("size").toInteger(), QFileInfo(other).size());
    EXPECT_EQ(file.value("sha256").toString().size(), 64);
    EXPECT_EQ(file.value("header").toString(), "KV740MX-V6");
    EXPECT_EQ(run.cause, pb::Cause::of(pb::CauseCode::FileForOtherModel, {"KV740MX-V6", "KV320MX-V5"}));

    // Said when chosen, and said again when refused, in the window's language.
    w.window.mnuSimplifiedClick();
    w.chooseFile(program);
    EXPECT_EQ(u.pnMsg->text(), QStringLiteral("不是韧体档案"));
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), QStringLiteral("韧体档案格式机型错误! 不是韧体档案"));
    run = lastRun();
    EXPECT_EQ(run.cause.code, pb::CauseCode::FileNotFirmware);
    EXPECT_TRUE(run.details.value("file").toObject().contains("headerHex"));
    w.window.mnuEnglishClick();

    // Chosen, then gone before the click: the path it was looked for at.
    w.chooseFile(gone);
    ASSERT_TRUE(QFile::remove(gone));
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), "Load firmware file error! no such file: " + gone);
    run = lastRun();
    EXPECT_EQ(run.details.value("refused").toString(), "load-error");
    EXPECT_EQ(run.details.value("file").toObject().value("name").toString(), "gone.KVF");
    EXPECT_FALSE(run.details.value("file").toObject().contains("sha256"));  // nothing to read
    EXPECT_EQ(run.cause, pb::Cause::of(pb::CauseCode::FileMissing, {gone}));

    // Nothing of any of them went on the line.
    EXPECT_EQ(w.controller.commands().size(), commandsBefore);
    EXPECT_TRUE(w.window.isEnabled());
}

// Beside the file's name, its release state; a signature present is checked when the
// button is pressed, and an untrusted one refused before the loader.
TEST(FirmwareWindow, TheChosenFilesReleaseStateStandsBesideItsName) {
    FirmwareWindow w(sim::Model::V5, "0001");
    const QLabel* state = w.window.findChild<QLabel*>(QStringLiteral("lbFirmwareRelease"));
    ASSERT_NE(state, nullptr);
    const QByteArray bytes = FirmwareFileBytes("KV320MX-V5", PatternImage(1024));
    const QString file = w.write("v5.KVF", bytes);
    w.chooseFile(file);
    EXPECT_EQ(state->text(), "Unsigned");
    const pb::signing::KeyPair key = pb::signing::GenerateKeyPair();
    w.write("v5.KVF.minisig", pb::signing::Sign(key.secret, bytes, "panelbench-release {\"models\":[\"KV320MX-V5\"],\"version\":\"V5.11\"}", "t"));
    w.window.mnuTraditionalClick();
    EXPECT_EQ(state->text(), QStringLiteral("金鑰不受信任"));
    w.window.mnuEnglishClick();
    QTest::mouseClick(w.ui().btnFirmware, Qt::LeftButton);
    EXPECT_TRUE(w.ui().pnMsg->text().contains(key.secret.publicKey().idText())) << w.ui().pnMsg->text().toStdString();
    for (const QString& c : w.controller.commands()) EXPECT_FALSE(c.contains("Zx")) << c.toStdString();
}
