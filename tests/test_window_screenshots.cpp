// The window in each language: every caption fits its control, and, when
// PANELBENCH_SCREENSHOT_DIR names a folder, a picture of the window is saved there.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFontMetrics>
#include <QTabBar>
#include <QTest>

#include "app/FitLabel.h"
#include "app/TfrmModule.h"
#include "procedures/EventRecord.h"
#include "tests/support/CutCaptions.h"

namespace {

struct LanguageShot {
    int index;
    const char* file;
};

class Screenshots : public ::testing::TestWithParam<LanguageShot> {};

TEST_P(Screenshots, CaptionsFitAndPictureIsSaved) {
    TfrmModule w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QList<QAction*> choices = {w.ui().mnuEnglish, w.ui().mnuSimplified,
                                     w.ui().mnuTraditional};
    choices.at(GetParam().index)->trigger();
    w.ui().pnSetDate->setText(QStringLiteral("2024/05/17 09:30:00"));
    // The widest record the polling data test can show, in this language.
    const auto record = pb::ParseEventRecord("999999" "20240517093000" "01" "4" "9999999999");
    w.ui().pnPoolingDate->setText(pb::RecordDateText(*record));
    w.ui().pnPoolingData->setText(pb::DescribeRecord(*record, pb::LanguageAt(GetParam().index)));
    // The longest version and serial number texts an identify step shows.
    w.setVersionText(QStringLiteral("KV740MX -V6.01.03"));
    w.setSerialNumberText(QStringLiteral("S/N:SN004711   ID:0123"));
    QCoreApplication::processEvents();

    EXPECT_EQ(pbtest::CutCaptions(w), QStringList()) << GetParam().file;
    // The link page still shows both of its rows below its tabs.
    EXPECT_LE(w.ui().edPort->mapTo(w.ui().pcPort, QPoint(0, w.ui().edPort->height())).y(),
              w.ui().pcPort->height());

    const QString folder = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        const QString file = folder + "/" + QString::fromLatin1(GetParam().file);
        EXPECT_TRUE(w.grab().save(file)) << file.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Window, Screenshots,
                         ::testing::Values(LanguageShot{0, "window-en.png"},
                                           LanguageShot{1, "window-zh-hans.png"},
                                           LanguageShot{2, "window-zh-hant.png"}),
                         [](const auto& info) { return std::to_string(info.param.index); });

}  // namespace
