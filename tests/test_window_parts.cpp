// The window's helpers: the serial port list, the beep's samples and the font choice.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/FitLabel.h"
#include "app/Lamp.h"
#include "app/PortComboBox.h"
#include "app/SerialPortList.h"
#include "app/TestButtons.h"
#include "app/ToneSamples.h"
#include "app/WindowFont.h"
#include "catalogue/TestCatalogue.h"

namespace {

QStringList Names(const QList<pb::PortEntry>& entries) {
    QStringList names;
    for (const auto& e : entries) names << e.name;
    return names;
}

TEST(PortList, NoPortsGivesCom1ToCom16) {
    const QList<pb::PortEntry> list = pb::PortListFrom({});
    ASSERT_EQ(list.size(), 16);
    EXPECT_EQ(list.first().name, "COM1");
    EXPECT_EQ(list.at(9).name, "COM10");
    EXPECT_EQ(list.last().name, "COM16");
}

TEST(PortList, PortsAreListedInAStableNaturalOrder) {
    QList<pb::PortFacts> ports = {{"ttyUSB10", {}, {}, {}, {}, {}},
                                  {"ttyS1", {}, {}, {}, {}, {}},
                                  {"ttyUSB2", {}, {}, {}, {}, {}},
                                  {"ttyACM0", {}, {}, {}, {}, {}},
                                  {"ttyS0", {}, {}, {}, {}, {}}};
    const QStringList expected = {"ttyACM0", "ttyS0", "ttyS1", "ttyUSB2", "ttyUSB10"};
    EXPECT_EQ(Names(pb::PortListFrom(ports)), expected);
    std::reverse(ports.begin(), ports.end());
    EXPECT_EQ(Names(pb::PortListFrom(ports)), expected);
}

TEST(PortList, ToolTipShowsWhatTheSystemKnows) {
    pb::PortFacts usb{"ttyUSB0",       "FT232R USB UART", "FTDI",
                      quint16(0x0403), quint16(0x6001),   "A50285BI"};
    EXPECT_EQ(pb::PortToolTip(usb), "FT232R USB UART\nFTDI\nUSB 0403:6001\nS/N A50285BI");
    pb::PortFacts plain{"ttyS0", {}, {}, {}, {}, {}};
    EXPECT_EQ(pb::PortToolTip(plain), "");
    pb::PortFacts vendorOnly{"ttyACM0", "", "", quint16(0x2341), {}, ""};
    EXPECT_EQ(pb::PortToolTip(vendorOnly), "");
    // An adapter's latency timer, and whether that is low latency, in each language.
    usb.latencyTimerMs = 16;
    EXPECT_EQ(pb::PortToolTip(usb).section(u'\n', -1), "USB latency timer 16 ms (low latency off)");
    usb.latencyTimerMs = 1;
    EXPECT_EQ(pb::PortToolTip(usb).section(u'\n', -1), "USB latency timer 1 ms (low latency on)");
    EXPECT_EQ(pb::PortListFrom({usb}, 2).first().toolTip.section(u'\n', -1),
              QString::fromUtf8("USB 延遲計時器 1 毫秒 (低延遲已開啟)"));
}

TEST(PortList, ComboKeepsTheGivenTextAndToolTips) {
    pb::PortComboBox combo;
    combo.setPorts({{"ttyS0", {}}, {"ttyUSB0", "FTDI"}}, "ttyTYPED");
    EXPECT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(combo.currentText(), "ttyTYPED");
    EXPECT_EQ(combo.itemData(1, Qt::ToolTipRole).toString(), "FTDI");
    EXPECT_FALSE(combo.itemData(0, Qt::ToolTipRole).isValid());
    // Opening the list reads the ports again and keeps what was typed.
    combo.setEditText("/dev/pts/9");
    combo.showPopup();
    combo.hidePopup();
    EXPECT_EQ(combo.currentText(), "/dev/pts/9");
    EXPECT_EQ(Names(pb::ListSerialPorts()).size(), combo.count());
}

// Sample values of a tone.
QList<qint16> Samples(const QByteArray& bytes) {
    QList<qint16> values(bytes.size() / 2);
    std::memcpy(values.data(), bytes.constData(), size_t(values.size()) * 2);
    return values;
}

TEST(ToneSamples, FrequencyLengthAndAmplitude) {
    for (int hz : {300, 1000}) {
        const QList<qint16> s = Samples(pb::ToneSamples(hz, 300));
        ASSERT_EQ(s.size(), pb::kToneSampleRate * 300 / 1000) << hz;
        // Rising zero crossings count the periods: 0.3 s of hz.
        int rising = 0;
        for (qsizetype i = 1; i < s.size(); ++i)
            if (s[i - 1] < 0 && s[i] >= 0) ++rising;
        EXPECT_NEAR(rising, hz * 3 / 10, 1) << hz;
        const auto [low, high] = std::minmax_element(s.begin(), s.end());
        EXPECT_NEAR(*high, pb::kToneAmplitude, pb::kToneAmplitude / 50) << hz;
        EXPECT_NEAR(*low, -pb::kToneAmplitude, pb::kToneAmplitude / 50) << hz;
        // Faded at both ends, so the speaker does not click.
        EXPECT_EQ(s.first(), 0);
        EXPECT_LT(qAbs(s.last()), pb::kToneAmplitude / 10);
    }
}

TEST(ToneSamples, NothingForANonsenseTone) {
    EXPECT_TRUE(pb::ToneSamples(0, 300).isEmpty());
    EXPECT_TRUE(pb::ToneSamples(1000, 0).isEmpty());
    EXPECT_TRUE(pb::ToneSamples(-5, 300).isEmpty());
}

TEST(WindowFont, AbsentNamedFontsFallBackToTheirScript) {
    const auto writes = [](const QString& family, QFontDatabase::WritingSystem system) {
        return QFontDatabase::writingSystems(family).contains(system);
    };
    EXPECT_TRUE(writes(pb::InstalledFamilyFor(QStringLiteral("宋体"), pb::kCharsetGb2312),
                       QFontDatabase::SimplifiedChinese));
    EXPECT_TRUE(writes(pb::InstalledFamilyFor(QStringLiteral("細明體"), pb::kCharsetBig5),
                       QFontDatabase::TraditionalChinese));
    EXPECT_TRUE(
        writes(pb::InstalledFamilyFor("MS Sans Serif", pb::kCharsetAnsi), QFontDatabase::Latin));
    // An installed family of the right script is taken as named.
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (!chinese.isEmpty()) {
        EXPECT_EQ(pb::InstalledFamilyFor(chinese.last(), pb::kCharsetGb2312), chinese.last());
    }
}

TEST(WindowFont, StyleBitsApplyOnlyWhenValid) {
    pb::LanguageFont font = pb::LanguageFontFor(0);
    font.style = pb::kStyleBold | pb::kStyleUnderline;
    QFont f = pb::WindowFontFor(font, QFont());
    EXPECT_TRUE(f.bold());
    EXPECT_FALSE(f.italic());
    EXPECT_TRUE(f.underline());
    EXPECT_FALSE(f.strikeOut());
    EXPECT_EQ(f.pointSize(), 10);
    font.style.reset();  // out of range: the base style stays
    QFont italic;
    italic.setItalic(true);
    EXPECT_TRUE(pb::WindowFontFor(font, italic).italic());
}

TEST(Lamp, PaintsItsBrushColour) {
    pb::Lamp lamp(QColor(255, 0, 0), nullptr);
    lamp.resize(23, 20);
    lamp.setEnabled(false);  // blinks in a disabled window too
    QImage image = lamp.grab().toImage();
    EXPECT_EQ(image.pixelColor(11, 10), QColor(255, 0, 0));
    lamp.setBrushColor(QColor(255, 255, 0));
    image = lamp.grab().toImage();
    EXPECT_EQ(image.pixelColor(11, 10), QColor(255, 255, 0));
    EXPECT_EQ(lamp.property("brushColor").value<QColor>(), QColor(255, 255, 0));
}

}  // namespace

// A panel caption too wide for its panel is drawn smaller, never cut; past the smallest
// size it is elided. text() keeps the whole caption (the firmware check reads pnVER).
TEST(FitLabel, ShrinksALongCaptionThenElidesIt) {
    pb::FitLabel label;
    label.setGeometry(0, 0, 329, 49);
    label.setFrameStyle(QFrame::Panel | QFrame::Raised);
    QFont font;
    font.setPixelSize(35);
    font.setBold(true);
    label.setFont(font);

    label.setText(QStringLiteral("KV410"));
    EXPECT_EQ(label.shownFont().pixelSize(), 35);
    EXPECT_EQ(label.shownText(), "KV410");

    label.setText(QStringLiteral("KV740MX -V6.01.03"));
    EXPECT_LT(label.shownFont().pixelSize(), 35);
    EXPECT_EQ(label.shownText(), label.text());
    EXPECT_LE(QFontMetrics(label.shownFont()).horizontalAdvance(label.text()),
              label.contentsRect().width());

    const QString endless = QStringLiteral("KV740MX -V6.01.03 ").repeated(4);
    label.setText(endless);
    EXPECT_EQ(label.text(), endless);
    EXPECT_EQ(label.shownFont().pixelSize(), 35 * pb::FitLabel::kSmallestPercent / 100);
    EXPECT_NE(label.shownText(), endless);
    EXPECT_TRUE(label.shownText().endsWith(QChar(0x2026)));
}

// A catalogue button needs nothing of the window but its page: it is found among the other
// controls, says its test's name in each language and asks for exactly its own test.
TEST(TestButtons, AskForTheirOwnTestUnderTheirTestsNameInEachLanguage) {
    QWidget page;
    QPushButton* reboot = pb::TestButton(&page, "btnTryReboot", pb::TestId::Reboot, {0, 0, 329, 65});
    QPushButton* setDate = pb::TestButton(&page, "btnTrySetDate", pb::TestId::SetDate, {0, 70, 329, 65});
    auto* designed = new QPushButton(QStringLiteral("System reboot"), &page);
    EXPECT_EQ(reboot->objectName(), "btnTryReboot");
    EXPECT_EQ(reboot->geometry(), QRect(0, 0, 329, 65));
    EXPECT_EQ(pb::TestButtonsIn(&page), (QList<QPushButton*>{reboot, setDate}));
    EXPECT_FALSE(pb::ButtonTest(designed).has_value());
    EXPECT_EQ(pb::ButtonTest(setDate), pb::TestId::SetDate);

    const QStringList rebootWords = {"Set reboot", QStringLiteral("设定重新开机"), QStringLiteral("設定重新開機")};
    for (int language : {1, 2, 0}) {
        pb::CaptionTestButtons(&page, language);
        EXPECT_EQ(reboot->text(), rebootWords[language]);
        EXPECT_EQ(setDate->text(), pb::CatalogueEntry(pb::TestId::SetDate).nameIn(language));
        EXPECT_LE(reboot->fontMetrics().horizontalAdvance(reboot->text()), reboot->width());
    }
    EXPECT_EQ(designed->text(), "System reboot") << "a designed button keeps its own caption";

    QList<pb::TestId> asked;
    auto window = std::make_unique<QObject>();
    pb::WireTestButtons(&page, window.get(), [&](const pb::TestRequest& r) { asked << r.test; });
    setDate->click();
    reboot->click();
    designed->click();
    EXPECT_EQ(asked, (QList<pb::TestId>{pb::TestId::SetDate, pb::TestId::Reboot}));
    window.reset();  // the window gone: a click asks for nothing
    reboot->click();
    EXPECT_EQ(asked.size(), 2);
}
