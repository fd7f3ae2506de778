#pragma once
// The two command frames: CRC (SOH text STX crc4 CR) and XOR (SOH text xor2 CR).

#include <QByteArray>
#include <QByteArrayView>

namespace pb {

// The longest texts whose frame still fits the 1500-byte transmit buffer.
constexpr int kMaxCrcText = 1493;
constexpr int kMaxXorText = 1496;

QByteArray BuildCrcFrame(QByteArrayView text);
QByteArray BuildXorFrame(QByteArrayView text);

}  // namespace pb
