#include "link/Exchange.h"

namespace pb {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

QByteArray ReplyFrame::at(int position, int count) const {
    if (position < 1 || count < 0 || position - 1 + count > text_.size()) return {};
    return text_.mid(position - 1, count);
}

QByteArray ReplyFrame::payload() const {
    const int tail = kind_ == Kind::Crc ? kCrcTail : kXorTail;
    const int size = int(text_.size()) - 1 - tail;
    return size > 0 ? text_.mid(1, size) : QByteArray();
}

std::optional<AddressedReply> ReplyFrame::split() const {
    const QByteArray p = payload();
    if (p.size() < 5 || !isDigit(p[0]) || !isDigit(p[1]) || !isDigit(p[2])) return std::nullopt;
    return split(isDigit(p[3]) ? 4 : 3);
}

std::optional<AddressedReply> ReplyFrame::split(int idLength) const {
    const QByteArray p = payload();
    if (idLength < 0 || p.size() < idLength + 2) return std::nullopt;
    return AddressedReply{p.left(idLength), p.mid(idLength, 2), p.mid(idLength + 2)};
}

}  // namespace pb
