// The window's feedback during long work, in each language, offscreen against the
// simulated controller: the firmware bars' figures mid-upgrade and the status line's
// countdown of the restart fit their controls; the other new status texts fit the status
// line. With PANELBENCH_SCREENSHOT_DIR set, pictures of both moments are saved there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/TfrmModule.h"
#include "i18n/FeedbackTexts.h"
#include "i18n/Messages.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/test_firmware_rig.h"

using namespace pbtest;

namespace {

// A clock on which a pause takes 25 times as long as asked (a block programmed in half
// a second, as over a slow line) without waiting, and which calls back mid-countdown.
class SlowLineClock : public pb::Clock {
public:
    void pause(int ms) override {
        if (ms > 0) now_ = now_.addMSecs(qint64(ms) * 25);
    }
    QDateTime now() const override { return now_; }
    void countdown(int ms, const pb::SecondsLeft& secondsLeft) override {
        for (int left = pb::WholeSecondsIn(ms); left > 0; --left) {
            secondsLeft(left);
            if (left == 5 && midCountdown) midCountdown();
        }
        pause(ms);
    }
    std::function<void()> midCountdown;

private:
    QDateTime now_ = QDateTime(QDate(2026, 12, 8), QTime(9, 0));
};

struct Shot {
    int language;
    const char* suffix;
};

// The text's right end stays left of the lamp in the centred status line.
int StatusRoom(const Ui::TfrmModule& u) {
    return 2 * (u.shComm->x() - u.pnMsg->width() / 2) - 4;
}

void Save(QWidget& w, const QString& name) {
    const QString dir = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    EXPECT_TRUE(w.grab().save(QDir(dir).filePath(name))) << name.toStdString();
}

class FeedbackShots : public ::testing::TestWithParam<Shot> {};

}  // namespace

TEST_P(FeedbackShots, BarFiguresAndRestartCountdownFitInEachLanguage) {
    const int language = GetParam().language;
    const QString suffix = QString::fromLatin1(GetParam().suffix);
    QApplication::setQuitOnLastWindowClosed(false);
    sim::Controller controller(sim::Model::V5, "0001");
    sim::TcpServer server(controller);
    server.listen(0);
    SlowLineClock clock;
    TfrmModule window;
    auto& u = window.ui();
    u.pcPort->setCurrentWidget(u.tsNet);
    u.edIP->setText("127.0.0.1");
    u.edPort->setText(QString::number(server.port()));
    window.setProcedureClock(&clock);
    window.show();
    if (language == 1) window.mnuSimplifiedClick();
    if (language == 2) window.mnuTraditionalClick();
    u.pnSetDate->setText(QStringLiteral("2026/12/08 09:00:00"));
    QTest::mouseClick(u.btnConnect, Qt::LeftButton);
    ASSERT_EQ(window.state().modelKind, 3);
    // The page is hidden by design; shown here as the polling test would show it.
    window.setFirmwarePageVisible(true);
    u.pcMain->setCurrentWidget(u.tsFirmware);

    QTemporaryDir dir;
    const QString file = dir.filePath("KV320MX.KVF");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FirmwareFileBytes("KV320MX-V5", PatternImage(124 * 512)));
    f.close();
    window.ui().tsFirmware->SaveFirmwareFile(file);

    // Mid-programming: once the window has painted the 62nd block.
    QString programFigures;
    int programRoom = 0, programWidth = 0;
    QObject::connect(u.pbProgram, &QProgressBar::valueChanged, &window, [&](int value) {
        if (value != 61) return;
        QTimer::singleShot(0, &window, [&] {
            programFigures = u.pbProgram->text();
            programWidth = QFontMetrics(u.pbProgram->font()).horizontalAdvance(programFigures);
            programRoom = u.pbProgram->width() - 8;
            Save(window, "firmware-upgrade-" + suffix + ".png");
        });
    });
    QString countdown;
    clock.midCountdown = [&] {
        countdown = u.pnMsg->text();
        Save(window, "status-countdown-" + suffix + ".png");
    };
    QTest::mouseClick(u.btnFirmware, Qt::LeftButton);
    EXPECT_EQ(u.pnMsg->text(), pb::Msg(pb::MsgId::CommandOk, pb::LanguageAt(language)));

    // 62 blocks of 124 in 31 s of the slow line's time: as long again to go.
    EXPECT_EQ(programFigures, pb::BarProgressText(62, 124, 31'000, 31'000, language));
    EXPECT_LE(programWidth, programRoom) << programFigures.toStdString();
    EXPECT_EQ(countdown, pb::CountdownStatus(pb::Msg(pb::MsgId::Upgrading, pb::LanguageAt(language)), 5, language));
    const QFontMetrics status(u.pnMsg->font());
    EXPECT_LE(status.horizontalAdvance(countdown), StatusRoom(u)) << countdown.toStdString();
    // The verify bar ends full, its figures with it.
    EXPECT_EQ(u.pbVerify->text(), pb::BarProgressText(124, 124, 124 * 50 * 25, 0, language));

    // The other new status texts, at their widest.
    const pb::Language l = pb::LanguageAt(language);
    for (const QString& text :
         {pb::CountdownStatus(pb::Msg(pb::MsgId::SetFactory, l), 16, language),
          pb::CountdownStatus(pb::Msg(pb::MsgId::SetReboot, l), 4, language),
          pb::Msg(pb::MsgId::CommandOk, l) + pb::Text(pb::FeedbackText::BlocksLeftOut, language).arg(876),
          pb::Msg(pb::MsgId::CommandError, l) + pb::Text(pb::FeedbackText::FlashMayBeBroken, language),
          pb::Msg(pb::MsgId::FirmwareFileModelError, l) + " " +
              pb::Text(pb::FeedbackText::NotAFirmwareFile, language)}) {
        u.pnMsg->setText(text);
        EXPECT_LE(status.horizontalAdvance(text), StatusRoom(u)) << text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Window, FeedbackShots,
                         ::testing::Values(Shot{0, "en"}, Shot{1, "zh-hans"}, Shot{2, "zh-hant"}),
                         [](const auto& info) { return std::string(info.param.suffix) == "en" ? "English"
                                                       : info.param.language == 1         ? "Simplified"
                                                                                          : "Traditional"; });
