#include "procedures/ControllerFamily.h"

namespace pb {
namespace {

// Kind 3 flashes slower than kind 6, which shares its loader.
constexpr LoaderPauses kProtocolASlow{{20, 50}, {50, 150}};
constexpr LoaderPauses kProtocolAFast{{4, 50}, {4, 50}};
constexpr LoaderPauses kProtocolBC{{4, 50}, {4, 50}};

constexpr BlockLayout k512Blocks{512, 126, 124};
constexpr BlockLayout k256Blocks{256, 250, 248};
constexpr BlockLayout k64Blocks{64, 984, 0};

// A header of the 256-byte families: the version text over 11 characters, or for a KV580
// the KV300 image over 8.
constexpr HeaderCheck kVersionHeader{nullptr, 11, 8};

const std::array<ControllerFamily, 7> kFamilies{{
    {1, {"V3", "R3"}, nullptr, 4, false, DidoVariant::Standard, k256Blocks, kVersionHeader,
     LoaderProtocol::B, kProtocolBC},
    {2, {"V4", "R4"}, nullptr, 4, false, DidoVariant::Standard, k256Blocks, kVersionHeader,
     LoaderProtocol::B, kProtocolBC},
    {3, {"V5", "R5"}, nullptr, 4, false, DidoVariant::Standard, k512Blocks,
     {"KV320MX-V5", 10, 0}, LoaderProtocol::A, kProtocolASlow},
    {4, {}, nullptr, 3, true, DidoVariant::Short, k64Blocks, {nullptr, 7, 0}, LoaderProtocol::C,
     kProtocolBC},
    {5, {"V2", nullptr}, nullptr, 4, false, DidoVariant::Standard, k256Blocks, kVersionHeader,
     LoaderProtocol::B, kProtocolBC},
    {6, {"V6", "R6"}, nullptr, 4, false, DidoVariant::Standard, k512Blocks,
     {"KV740MX-V6", 10, 0}, LoaderProtocol::A, kProtocolAFast},
    {7, {}, "KV410", 4, false, DidoVariant::Standard, {}, {}, LoaderProtocol::None, {}},
}};

const ControllerFamily kNotIdentified{};

}  // namespace

const std::array<ControllerFamily, 7>& ControllerFamilies() { return kFamilies; }

const ControllerFamily& FamilyOf(int modelKind) {
    for (const ControllerFamily& f : kFamilies)
        if (f.kind == modelKind) return f;
    return kNotIdentified;
}

int ModelKindOfVersionCode(const QByteArray& code) {
    for (const ControllerFamily& f : kFamilies)
        for (const char* c : f.versionCodes)
            if (c && code == c) return f.kind;
    return kModelKindNone;
}

int ModelKindOfModelName(const QByteArray& name) {
    for (const ControllerFamily& f : kFamilies)
        if (f.modelName && name == f.modelName) return f.kind;
    return kModelKindNone;
}

}  // namespace pb
