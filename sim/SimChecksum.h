#pragma once
// The controller's own checksum arithmetic, written independently of the tool's
// table-driven code: a bitwise CRC-16/ARC and a plain XOR, with upper-case hex digits.

#include <QByteArray>
#include <QByteArrayView>

namespace sim {

// CRC-16/ARC: reflected polynomial 0xA001, start 0x0000, no final XOR.
quint16 crc16Arc(QByteArrayView bytes);
quint8 xor8(QByteArrayView bytes);
// "%04X" / "%02X"; lowercase when asked (a fault the tool must refuse).
QByteArray hex4(quint16 value, bool lowercase = false);
QByteArray hex2(quint8 value, bool lowercase = false);
// Bytes as upper-case hex pairs, and back (either case); fromHex fails on odd
// length or a non-hex character.
QByteArray toHexUpper(QByteArrayView bytes);
bool fromHex(QByteArrayView text, QByteArray& out);
// A hex number of any case; false when empty or not hex.
bool parseHexNumber(QByteArrayView text, int& value);

}  // namespace sim
