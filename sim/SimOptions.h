#pragma once
// The command line of panelbench-sim, parsed into plain values.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

#include "sim/SimController.h"

namespace sim {

struct SimOptions {
    enum class Transport { Tcp, Pty } transport = Transport::Tcp;
    quint16 tcpPort = 0;
    QString listenAddress = QStringLiteral("127.0.0.1");
    Model model = Model::Kv410;
    QString id;  // empty: the all-zero ID of the model
    bool answerZeroId = true;
    QString inputs;
    bool loopback = false;                // outputs 1-4 drive inputs 1-4
    QList<QPair<int, bool>> stuckInputs;  // input 1-8, level it is stuck at
    bool emptyEventStore = false;
    QByteArray product;
    QByteArray serial;
    int rebootMs = 3000;
    int baud = 0;
    QString ptyLink;  // kept a link to the pty's slave; empty: none
    QString logFile;
    QString flashDump;
    QString flashLoad;
    QString writeFirmware;  // write a firmware file the model takes here
    bool serve = true;      // false: only write the firmware file, then stop
    bool quiet = false;
    Faults faults;
};

struct ParsedOptions {
    std::optional<SimOptions> options;  // empty when the program should stop
    QString output;                     // help text, or the error
    int exitCode = 0;
};

ParsedOptions parseSimOptions(const QStringList& arguments);
// C-style escapes of the --noise option: \r \n \t \\ \xNN.
QByteArray unescapeBytes(const QString& text);
// "3=on" / "3=off" (also 1/0): input 1-8 and its level; empty when malformed.
std::optional<QPair<int, bool>> parseStuckInput(const QString& text);

}  // namespace sim
