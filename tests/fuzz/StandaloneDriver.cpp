// Runs a fuzz target without libFuzzer, as a quick test of the normal suite: every file
// of the target's seed corpus, then deterministic pseudo-random inputs and mutations of
// the seeds. Usage: <program> <corpus folder> [inputs] [max length]

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

// xorshift64*: the same inputs on every run and every machine.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed ? seed : 1) {}
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    size_t below(size_t n) { return n ? size_t(next() % n) : 0; }

private:
    uint64_t state_;
};

std::vector<Bytes> ReadCorpus(const char* folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Bytes> corpus;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return corpus;
}

// Bytes the targets care about: control bytes of the frames, digits, separators.
constexpr uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x0D, 0x0A, '=', ',', '"', '[', ']',
                                    ';',  '#',  '\\', ' ',  '0',  '9',  'A',  'F', 'a', 0x7F, 0x80, 0xFF};

uint8_t SomeByte(Random& r) {
    return r.below(2) ? kInteresting[r.below(sizeof kInteresting)] : uint8_t(r.next());
}

Bytes Mutate(const Bytes& seed, const std::vector<Bytes>& corpus, Random& r, size_t maxLength) {
    Bytes b = seed;
    const int steps = 1 + int(r.below(8));
    for (int s = 0; s < steps; ++s) {
        switch (r.below(6)) {
            case 0:  // change a byte
                if (!b.empty()) b[r.below(b.size())] = SomeByte(r);
                break;
            case 1:  // insert a byte
                b.insert(b.begin() + long(r.below(b.size() + 1)), SomeByte(r));
                break;
            case 2:  // erase a run
                if (!b.empty()) {
                    const size_t at = r.below(b.size());
                    b.erase(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + 1 + r.below(16))));
                }
                break;
            case 3:  // flip a bit
                if (!b.empty()) b[r.below(b.size())] ^= uint8_t(1u << r.below(8));
                break;
            case 4:  // splice in part of another seed
                if (!corpus.empty()) {
                    const Bytes& other = corpus[r.below(corpus.size())];
                    if (!other.empty()) {
                        const size_t from = r.below(other.size());
                        const size_t count = 1 + r.below(other.size() - from);
                        b.insert(b.begin() + long(r.below(b.size() + 1)), other.begin() + long(from),
                                 other.begin() + long(from + count));
                    }
                }
                break;
            default:  // repeat a run
                if (!b.empty()) {
                    const size_t at = r.below(b.size());
                    const size_t count = 1 + r.below(std::min<size_t>(b.size() - at, 64));
                    const Bytes run(b.begin() + long(at), b.begin() + long(at + count));
                    for (size_t n = 1 + r.below(32); n > 0; --n) b.insert(b.begin() + long(at), run.begin(), run.end());
                }
                break;
        }
    }
    if (b.size() > maxLength) b.resize(maxLength);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder> [inputs] [max length]\n", argv[0]);
        return 2;
    }
    const long inputs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 3000;
    const size_t maxLength = argc > 3 ? size_t(std::strtoul(argv[3], nullptr, 10)) : 4096;
    const std::vector<Bytes> corpus = ReadCorpus(argv[1]);

    // Like libFuzzer, never hand over a null pointer, even for an empty input.
    static const uint8_t kEmpty[1] = {0};
    auto run = [](const Bytes& input) {
        LLVMFuzzerTestOneInput(input.empty() ? kEmpty : input.data(), input.size());
    };
    for (const Bytes& seed : corpus) run(seed);

    Random r(0x5EED0F1A2B3C4D5EULL);
    for (long i = 0; i < inputs; ++i) {
        Bytes input;
        if (!corpus.empty() && r.below(4) != 0) {
            input = Mutate(corpus[r.below(corpus.size())], corpus, r, maxLength);
        } else {
            input.resize(r.below(std::min<size_t>(maxLength, 256) + 1));
            for (uint8_t& b : input) b = SomeByte(r);
        }
        run(input);
    }
    std::printf("%zu seeds and %ld generated inputs passed\n", corpus.size(), inputs);
    return 0;
}
