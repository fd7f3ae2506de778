#pragma once
// Checksums of the controller protocol: the two hex digits of a byte, the XOR byte
// of an XOR frame and the CRC-16/ARC of a CRC frame (reflected polynomial 0xA001,
// initial value 0x0000, no final XOR).

#include <QtGlobal>

#include "link/ReplyBuffer.h"

namespace pb {

// Writes a byte as two uppercase hex digits, high nibble first.
void ByteToHex(quint8 value, char out[2]);

// 8-bit XOR of count bytes; 0 for count 0.
quint8 XorChecksum(const quint8* bytes, int count);

struct Crc16 {
    quint8 high = 0;
    quint8 low = 0;
    quint16 value() const { return quint16(high << 8 | low); }
};

// Runs the CRC over count bytes, starting from low = high = 0.
Crc16 CrcUpdate(const quint8* bytes, int count);

// One step of the table-driven CRC: feeds data byte d into crc.
void CrcStep(Crc16& crc, quint8 d);

// The reply checks run on the reply buffer as the link assembled it.
bool CheckXorReply(const ReplyBuffer& reply);
bool CheckCrcReply(const ReplyBuffer& reply);

}  // namespace pb
