// The status line after a failed open, in each language: "Connect device error!" and
// the reason fit the status panel beside the lamp. With PANELBENCH_SCREENSHOT_DIR set,
// a picture of each is saved there.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>

#include "app/TfrmModule.h"
#include "i18n/EndingTexts.h"
#include "i18n/LinkFailureTexts.h"

namespace {

using Reason = pb::OpenFailure::Reason;

QList<pb::OpenFailure> TypicalFailures() {
    QList<pb::OpenFailure> failures;
    auto add = [&](Reason reason, const QString& target) {
        pb::OpenFailure f;
        f.reason = reason;
        f.target = target;
        failures << f;
        return &failures.last();
    };
    add(Reason::NotFound, QStringLiteral("ttyUSB7"));
    add(Reason::PermissionDenied, QStringLiteral("ttyUSB0"))->group = QStringLiteral("dialout");
    pb::OpenFailure* busy = add(Reason::Busy, QStringLiteral("ttyUSB0"));
    busy->program = QStringLiteral("minicom");
    busy->pid = 4194303;  // the largest PID Linux gives
    add(Reason::BadAddress, QStringLiteral("127.255.255.2540"));
    add(Reason::BadPort, QStringLiteral("70000"));
    add(Reason::Refused, QStringLiteral("127.255.255.254:65535"));
    add(Reason::Unreachable, QStringLiteral("127.255.255.254:65535"));
    add(Reason::TimedOut, QStringLiteral("127.255.255.254:65535"));
    add(Reason::NoRs485, QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    pb::OpenFailure* other = add(Reason::Other, QStringLiteral("ttyUSB0"));
    other->device = QStringLiteral("/dev/ttyUSB0");
    return failures;
}

}  // namespace

TEST(OpenFailedStatus, FitsTheStatusLineBesideTheLampInEachLanguage) {
    TfrmModule window;
    window.show();
    auto& u = window.ui();
    const QString dir = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR");
    for (int language = 0; language < 3; ++language) {
        if (language == 1) window.mnuSimplifiedClick();
        if (language == 2) window.mnuTraditionalClick();
        // The text is centred: its right end must stay left of the lamp.
        const int room = 2 * (u.shComm->x() - u.pnMsg->width() / 2) - 4;
        int n = 0;
        for (const pb::OpenFailure& failure : TypicalFailures()) {
            const QString status = pb::OpenFailedStatus(failure, language);
            u.pnMsg->setText(status);
            EXPECT_LE(QFontMetrics(u.pnMsg->font()).horizontalAdvance(status), room)
                << "language " << language << ": " << status.toStdString();
            if (!dir.isEmpty()) {
                QDir().mkpath(dir);
                u.pnMsg->grab().save(QDir(dir).filePath(
                    QStringLiteral("open-failed-%1-%2.png").arg(language).arg(n++)));
            }
        }
    }
}

// Every other ending with its reason, with facts at their longest: drawn smaller where
// need be, but whole and clear of the lamp; only a path may run past the room, and the
// tool tip then shows all of it.
TEST(EndingStatus, EveryEndingWithItsCauseIsShownWholeInEachLanguage) {
    TfrmModule window;
    window.show();
    auto& u = window.ui();
    const QString path = QStringLiteral("/home/technician/firmware/KV740MX-V6.01.03-20261201.KVF");
    QList<std::pair<pb::MsgId, pb::Cause>> endings;
    for (const pb::CauseCode code : pb::AllCauseCodes()) {
        if (pb::CausePassed(code) || code == pb::CauseCode::Unknown) continue;
        QVariantList values;
        for (const QString& name : pb::CauseValueNames(code)) {
            if (pb::CauseValueKindOf(code, name) == pb::CauseValueKind::Number) values << 99999;
            else if (name == "command") values << "JC001100...";
            else if (name == "id") values << "0000";
            else if (name == "path") values << (code == pb::CauseCode::FileTooShort ? "KV740MX-V6.01.03.KVF" : path);
            else if (name == "kind") values << "Refused";
            else if (name == "sha256") values << QString(64, u'f');
            else if (name == "inputs" || name == "expected") values << "1x1x0x0x";
            else if (name == "outputs") values << "1010";
            else values << "KV740MX-V6.01";  // a header's model, 16 characters at most
        }
        const pb::Cause cause = pb::Cause::of(code, values);
        endings.append({code == pb::CauseCode::NoController ? pb::MsgId::ConnectDeviceError : pb::ErrorEnding(cause), cause});
    }
    for (int language = 0; language < 3; ++language) {
        if (language == 1) window.mnuSimplifiedClick();
        if (language == 2) window.mnuTraditionalClick();
        for (const auto& [ending, cause] : endings) {
            const QString status = pb::EndingStatus(ending, cause, language);
            window.setStatus(status);
            EXPECT_EQ(u.pnMsg->text(), status);
            EXPECT_LE(QFontMetrics(u.pnMsg->shownFont()).horizontalAdvance(u.pnMsg->shownText()),
                      u.pnMsg->room());
            EXPECT_LE(u.pnMsg->room() / 2 + u.pnMsg->width() / 2, u.shComm->x());
            if (cause.text("path") != path && cause.text("sha256").isEmpty()) {
                EXPECT_EQ(u.pnMsg->shownText(), status) << "language " << language << ": " << status.toStdString();
            }
        }
        // The failed upgrade that may have left no firmware: its warning too.
        const QString warned =
            pb::MayLackFirmwareStatus(pb::Cause::of(pb::CauseCode::NotReadBack, {983}), language);
        window.setStatus(warned);
        EXPECT_EQ(u.pnMsg->shownText(), warned) << warned.toStdString();
    }
}
