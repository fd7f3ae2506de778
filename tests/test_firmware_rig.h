#pragma once
// A firmware upgrade bench: the simulated controller over TCP loopback or a pty, the
// link, a recording window with progress bars and a recording clock.

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "firmware/FirmwareUpgrade.h"
#include "link/Clock.h"
#include "sim/SimController.h"
#include "sim/SimServers.h"
#include "tests/support/RecordingRunObserver.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimHarness.h"

namespace pbtest {

class RecordingBars : public pb::FirmwareProgressView {
public:
    void setProgramMaximum(int m) override { programMax = m; }
    void setProgramPosition(int p) override { programPos = p; }
    void setVerifyMaximum(int m) override { verifyMax = m; }
    void setVerifyPosition(int p) override { verifyPos = p; }
    void setBarProgress(pb::FirmwareBar bar, const pb::BarProgress& p) override {
        (bar == pb::FirmwareBar::Program ? programFigures : verifyFigures).append(p);
    }
    void clearBarProgress() override { ++figureClears; }
    int programMax = 100, programPos = -1, verifyMax = 100, verifyPos = -1;
    // The figures told beside each bar, in order.
    QList<pb::BarProgress> programFigures, verifyFigures;
    int figureClears = 0;
};

// A firmware file: the header text padded with NULs to 16 bytes, then the image.
inline QByteArray FirmwareFileBytes(const QByteArray& model, const QByteArray& image) {
    QByteArray header = model.left(16);
    header.append(QByteArray(16 - header.size(), '\0'));
    return header + image;
}

// Image bytes that differ from 0xFF, from block to block and use hex letters.
inline QByteArray PatternImage(int size, int seed = 0) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char((i * 31 + i / 64 + seed) % 251);
    return bytes;
}

struct SimModelCase {
    sim::Model model;
    int kind;
    QString id;
    QString version;    // what the identify step put in pnVER
    QByteArray header;  // a header that fits that version
    int blockSize;
};

inline SimModelCase ModelCaseFor(int kind) {
    switch (kind) {
        case 3:
            return {sim::Model::V5, 3, "0001", "KV320MX -V5.10.02", "KV320MX-V5", 512};
        case 6:
            return {sim::Model::V6, 6, "0001", "KV740MX -V6.01.03", "KV740MX-V6", 512};
        case 1:
            return {sim::Model::V3, 1, "0001", "KV300MX -V3.21.05", "KV300MX -V3", 256};
        case 2:
            return {sim::Model::V4, 2, "0001", "KV350MX -V4.07.01", "KV350MX -V4", 256};
        case 5:
            return {sim::Model::V2, 5, "0001", "KV200MX -V2.08.00", "KV200MX -V2", 256};
        case 4:
            return {sim::Model::Old20, 4, "012", "KV150RB V1.20.05", "KV150RB", 64};
        default:
            return {sim::Model::Kv410, kind, "0001", "KV410 AC CESS  0470", "KV410", 512};
    }
}

enum class Line { Tcp, Pty };

class FirmwareRig {
public:
    explicit FirmwareRig(int kind, Line line = Line::Tcp)
        : modelCase(ModelCaseFor(kind)), controller(modelCase.model, modelCase.id) {
        pbtest::ServeSim(controller, line == Line::Tcp ? pbtest::Wire::Tcp : pbtest::Wire::Pty, tcp,
                         pty, view.settings);
        job.fileName = dir.filePath(QStringLiteral("image.KVF"));
        job.deviceId = modelCase.id;
        job.modelKind = kind;
        job.versionText = modelCase.version;
    }

    // Writes the firmware file with the model's own header.
    void writeImage(const QByteArray& image) {
        writeFile(FirmwareFileBytes(modelCase.header, image));
    }
    void writeFile(const QByteArray& bytes) {
        QFile f(job.fileName);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }

    pb::UpgradeOutcome run() {
        pb::FirmwareUpgrade upgrade(link, view.settings, view, bars, clock);
        upgrade.setObserver(&runs);
        const pb::UpgradeOutcome outcome = upgrade.run(job, buffer);
        failure = upgrade.failure();
        return outcome;
    }

    // The command texts the controller got whose text (after the prefix) starts so.
    QStringList commandsStarting(const QString& start) const {
        QStringList out;
        for (const QString& c : controller.commands())
            if (c.startsWith(job.deviceId + start) || c.startsWith(start)) out.append(c);
        return out;
    }

    QTemporaryDir dir;
    SimModelCase modelCase;
    sim::Controller controller;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyServer> pty;
    pb::Link link;
    RecordingView view;
    RecordingBars bars;
    RecordingRunObserver runs;
    pb::RecordingClock clock;
    pb::FirmwareBuffer buffer;
    pb::FirmwareJob job;
    QString failure;  // why the last run failed
};

}  // namespace pbtest
