#pragma once
// What every fuzz target shares: a property check that stops the run at once (libFuzzer
// then saves the input as a crash) and a small reader that splits one input into parts.

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A property that must hold for every input. Violations print where and trap, so both
// libFuzzer and the standalone replay driver report them as a crash.
#define FUZZ_REQUIRE(condition)                                                              \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            std::fprintf(stderr, "fuzz property violated at %s:%d: %s\n", __FILE__, __LINE__, \
                         #condition);                                                        \
            __builtin_trap();                                                                \
        }                                                                                    \
    } while (0)

namespace pbfuzz {

// Takes bytes off the front of an input; past the end it yields zeros and empty spans.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t word() { return uint16_t(byte() | byte() << 8); }
    // Up to count bytes; fewer at the end of the input.
    const uint8_t* take(size_t count, size_t& got) {
        got = count < size_ - pos_ ? count : size_ - pos_;
        const uint8_t* at = data_ + pos_;
        pos_ += got;
        return at;
    }
    const uint8_t* rest(size_t& got) { return take(size_ - pos_, got); }
    // Bytes up to (not including) the next `end` byte, which is consumed.
    const uint8_t* until(uint8_t end, size_t& got) {
        const size_t from = pos_;
        while (pos_ < size_ && data_[pos_] != end) ++pos_;
        got = pos_ - from;
        if (pos_ < size_) ++pos_;
        return data_ + from;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace pbfuzz
