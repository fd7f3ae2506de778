#include "sim/SimChecksum.h"

namespace sim {
namespace {

char digit(int nibble, bool lowercase) {
    if (nibble < 10) return char('0' + nibble);
    return char((lowercase ? 'a' : 'A') + nibble - 10);
}

int nibbleOf(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

quint16 crc16Arc(QByteArrayView bytes) {
    quint16 crc = 0;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

quint8 xor8(QByteArrayView bytes) {
    quint8 x = 0;
    for (char c : bytes) x ^= quint8(c);
    return x;
}

QByteArray hex4(quint16 value, bool lowercase) {
    return hex2(quint8(value >> 8), lowercase) + hex2(quint8(value & 0xFF), lowercase);
}

QByteArray hex2(quint8 value, bool lowercase) {
    const char pair[2] = {digit(value >> 4, lowercase), digit(value & 0x0F, lowercase)};
    return QByteArray(pair, 2);
}

QByteArray toHexUpper(QByteArrayView bytes) {
    QByteArray out(bytes.size() * 2, Qt::Uninitialized);
    char* p = out.data();
    for (char c : bytes) {
        *p++ = digit(quint8(c) >> 4, false);
        *p++ = digit(quint8(c) & 0x0F, false);
    }
    return out;
}

bool fromHex(QByteArrayView text, QByteArray& out) {
    if (text.size() % 2 != 0) return false;
    out.resize(text.size() / 2);
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int hi = nibbleOf(text[2 * i]);
        const int lo = nibbleOf(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = char(hi << 4 | lo);
    }
    return true;
}

bool parseHexNumber(QByteArrayView text, int& value) {
    if (text.isEmpty() || text.size() > 7) return false;
    value = 0;
    for (char c : text) {
        const int n = nibbleOf(c);
        if (n < 0) return false;
        value = value << 4 | n;
    }
    return true;
}

}  // namespace sim
