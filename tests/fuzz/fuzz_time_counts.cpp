// The counted times a store keeps for each run's replies, as a damaged row or another
// program's blob hands them back, and the figures worked out of any counts: a blob is
// taken only in its own form (each ms once, rising, every count above 0), and over what is
// taken the percentiles lie between the extremes and the bins hold every time once.

#include <QList>
#include <cmath>
#include <limits>

#include "records/figures/DurationFigures.h"
#include "records/store/TimeCounts.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace pb::records;

void CheckFigures(const TimeCounts& counts, int bins) {
    const qint64 total = TotalCount(counts);
    const Durations d = Summarise(counts);
    FUZZ_REQUIRE(d.count == total);
    if (counts.isEmpty()) {
        FUZZ_REQUIRE(d.minMs == 0 && d.maxMs == 0 && EvenBins(counts, bins).isEmpty());
        return;
    }
    FUZZ_REQUIRE(d.minMs == counts.first().ms && d.maxMs == counts.last().ms);
    FUZZ_REQUIRE(d.minMs <= d.p50Ms && d.p50Ms <= d.p95Ms && d.p95Ms <= d.p99Ms && d.p99Ms <= d.maxMs);
    FUZZ_REQUIRE(double(d.minMs) <= d.meanMs + 1e-6 * std::abs(d.meanMs) + 1e-6 &&
                 d.meanMs <= double(d.maxMs) + 1e-6 * std::abs(d.meanMs) + 1e-6);
    const QList<DurationBin> out = EvenBins(counts, bins);
    FUZZ_REQUIRE(out.size() == bins);
    qint64 binned = 0;
    // One width, but for an edge that stops at the largest time there is.
    constexpr qint64 kLast = std::numeric_limits<qint64>::max();
    __extension__ typedef __int128 Wide;
    const auto wide = [](const DurationBin& b) { return Wide(b.toMs) - b.fromMs; };
    for (int i = 0; i < out.size(); ++i) {
        if (i > 0) FUZZ_REQUIRE(out[i].fromMs == out[i - 1].toMs);
        if (out[i].toMs < kLast) FUZZ_REQUIRE(out[i].fromMs < out[i].toMs && wide(out[i]) == wide(out[0]));
        binned += out[i].count;
    }
    FUZZ_REQUIRE(binned == total);
    FUZZ_REQUIRE(out.first().fromMs == d.minMs && (out.last().toMs > d.maxMs || out.last().toMs == kLast));
    // Each time in the bin whose range holds it.
    for (const TimeCount& c : counts) {
        qint64 in = 0;
        for (const DurationBin& b : out) in += c.ms >= b.fromMs && (c.ms < b.toMs || b.toMs == kLast) ? 1 : 0;
        FUZZ_REQUIRE(in >= 1);
    }
}

}  // namespace

// Input: a byte of bins (1 to 64; the top bit: the rest are times to count, else a blob),
// then either the blob as a store hands it back, or times as pairs of a 16-bit step from
// the time before (signed) and a count byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pbfuzz::InputReader in(data, size);
    const uint8_t head = in.byte();
    const int bins = 1 + head % 64;
    size_t got = 0;
    if (head & 0x80) {
        // Counted from times: summing in any order gives the same counts, kept as they are.
        QList<qint64> times;
        TimeCountsSum halves;
        qint64 ms = 0;
        for (size_t left = size > 0 ? size - 1 : 0; left >= 3; left -= 3) {
            ms += qint16(in.word());
            const int count = in.byte() % 8;
            for (int i = 0; i < count; ++i) times << ms;
            halves.add(ms, count);
        }
        const TimeCounts counts = CountTimes(times);
        FUZZ_REQUIRE(halves.counts() == counts);
        FUZZ_REQUIRE(TotalCount(counts) == times.size());
        for (int i = 1; i < counts.size(); ++i) FUZZ_REQUIRE(counts[i - 1].ms < counts[i].ms);
        const std::optional<TimeCounts> back = DecodeTimeCounts(EncodeTimeCounts(counts));
        FUZZ_REQUIRE(back && *back == counts);
        CheckFigures(counts, bins);
        return 0;
    }
    const uint8_t* bytes = in.rest(got);
    const QByteArray blob(reinterpret_cast<const char*>(bytes), qsizetype(got));
    const std::optional<TimeCounts> counts = DecodeTimeCounts(blob);
    if (!counts) return 0;
    for (int i = 0; i < counts->size(); ++i) {
        FUZZ_REQUIRE((*counts)[i].count > 0);
        if (i > 0) FUZZ_REQUIRE((*counts)[i - 1].ms < (*counts)[i].ms);
    }
    // Taken only in its own form: written again, it is the same blob (no counts are written
    // as no blob, but a blob of none is none).
    FUZZ_REQUIRE(EncodeTimeCounts(*counts) == blob || counts->isEmpty());
    CheckFigures(*counts, bins);
    return 0;
}
