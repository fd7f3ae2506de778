// Traffic monitor cost per transaction: decoding the link's two records (the command
// sent, the reply received) and appending them to the ring model, with the model
// shown in batches as the window would see them. Run once with no view and once with
// the monitor window open (offscreen) repainting after every batch.
//
//   bench_traffic [transactions, default 300000]
//
// The frames are the DI/DO loop's five commands with their replies, and protocol A's
// verify command with its 1037-byte reply (the largest frame a session sees). The ring
// wraps during the run, so the figure includes dropping the oldest rows.

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/TrafficMonitorWindow.h"
#include "link/Frame.h"
#include "link/Checksum.h"
#include "traffic/TrafficLog.h"

namespace {

using Dir = pb::TrafficRecord::Direction;

QByteArray CrcReply(const QByteArray& payload) {
    QByteArray frame = '\x03' + payload + '\x04';
    const pb::Crc16 crc = pb::CrcUpdate(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size()));
    frame += QByteArray::number(crc.value(), 16).toUpper().rightJustified(4, '0') + '\r';
    return frame;
}

struct Transaction {
    pb::TrafficRecord sent, received;
};

std::vector<Transaction> DidoCycle() {
    std::vector<Transaction> out;
    for (const char* text : {"0000JC00110002", "0000JC00210002", "0000JC00310002", "0000JC00410002"})
        out.push_back({{Dir::Sent, pb::BuildCrcFrame(text), 0, true, {}},
                       {Dir::Received, CrcReply("0000JC"), 3, true, {}}});
    out.push_back({{Dir::Sent, pb::BuildCrcFrame("0000DG0"), 0, true, {}},
                   {Dir::Received, CrcReply("0000DG" "10100000" "1000" "0" "000"), 3, true, {}}});
    return out;
}

std::vector<Transaction> VerifyBlocks() {
    return {{{Dir::Sent, pb::BuildCrcFrame("0000Zv0200"), 0, true, {}},
             {Dir::Received, CrcReply("0000Zv" + QByteArray(1024, 'F')), 9, true, {}}}};
}

struct Figures {
    double usPerTransaction = 0;
    double msPerBatch = 0;  // flush and, with the window, its repaint
};

// `batch` transactions reach the model per flush, as the flush timer would deliver them
// at a given pace.
Figures Run(const std::vector<Transaction>& set, int transactions, int batch, bool withWindow) {
    pb::TrafficLog log;
    std::unique_ptr<pb::TrafficMonitorWindow> window;
    if (withWindow) {
        window = std::make_unique<pb::TrafficMonitorWindow>(&log);
        window->show();
        QCoreApplication::processEvents();
    }
    QElapsedTimer timer;
    timer.start();
    int batches = 0;
    for (int i = 0; i < transactions; ++i) {
        const Transaction& t = set[size_t(i) % set.size()];
        log.add(t.sent);
        log.add(t.received);
        if (i % batch == batch - 1 || i == transactions - 1) {
            log.flush();
            if (withWindow) QCoreApplication::processEvents();
            ++batches;
        }
    }
    const double ns = double(timer.nsecsElapsed());
    return {ns / 1000.0 / transactions, ns / 1e6 / batches};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int transactions = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 300000;
    const int perSecond = 10000 / pb::TrafficLog::kFlushMs;  // flushes
    std::printf("traffic monitor: ring of %d rows, %d flushes a second at most\n", pb::TrafficLog::kCapacity,
                perSecond / 10);
    // Paces: the load bench's ceiling (about 19,000 transactions a second) and a protocol A
    // upgrade with its real pauses (about 40 a second).
    struct Pace {
        const char* name;
        int perFlush;
        int count;
    };
    const Pace paces[] = {{"load pace (1900 per flush)", 1900, transactions},
                          {"upgrade pace (4 per flush)", 4, std::max(400, transactions / 100)}};
    for (bool withWindow : {false, true}) {
        for (const Pace& pace : paces) {
            const Figures dido = Run(DidoCycle(), pace.count, pace.perFlush, withWindow);
            const Figures verify = Run(VerifyBlocks(), std::max(400, pace.count / 5), pace.perFlush, withWindow);
            std::printf("%-13s %-28s DI/DO %7.2f us/transaction (%6.2f ms/flush)   verify %7.2f us/transaction (%6.2f "
                        "ms/flush)\n",
                        withWindow ? "window open" : "model only", pace.name, dido.usPerTransaction, dido.msPerBatch,
                        verify.usPerTransaction, verify.msPerBatch);
        }
    }
    return 0;
}
