#pragma once
// The controller families the simulator can play, and what each says about itself.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace sim {

enum class Model { Kv410, V6, R6, V5, R5, V4, R4, V3, R3, V2, Old20, Old28, Unknown };

// Names as the command line takes them: "kv410", "v6", ..., "old20", "old28", "unknown".
std::optional<Model> modelFromName(const QString& name);
QString modelName(Model m);
QStringList modelNames();

// The model kind the tool's identify step assigns: 7,6,6,3,3,2,2,1,1,5,4,4,0.
int modelKind(Model m);

// The older device: three-digit ID, answers "AS"/"AV" instead of "AC"/"DB".
bool hasThreeDigitId(Model m);

// Boot loader protocol: A for kinds 3 and 6, B for 1, 2, 5, C for 4, none otherwise.
enum class Loader { None, A, B, C };
Loader loaderOf(Model m);
// Bytes per program/verify block of a loader (512, 256, 64).
int loaderBlockSize(Loader l);

// Identity texts (see docs/controller.md for where they stand in the replies).
QByteArray acData(Model m);     // 4 characters (reply of 17 bytes) or 2 (15 bytes)
QByteArray dbProduct(Model m);  // 8 characters, "DB" reply positions 8-15
QByteArray dbVersion(Model m);  // 8 characters, positions 16-23 (code at 16-17)
QByteArray avData(Model m);     // older device: 8 (reply of 20 bytes) or 16 (28 bytes)
int ieDataLength(Model m);      // older device: 20 (reply of 32) or 40 (reply of 52)
QByteArray defaultSerial(Model m, const QString& id);  // 8 characters
QString zeroId(Model m);                               // "0000" or "000"

}  // namespace sim
