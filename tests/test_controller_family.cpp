// The family table checked against facts that come from elsewhere: the simulated
// controller's own model descriptions, the loader commands' reply layouts, the link's
// transmit buffer and the four hex digits of a loader address.
#include <gtest/gtest.h>

#include <map>

#include "firmware/FirmwareImage.h"
#include "link/Frame.h"
#include "procedures/ControllerFamily.h"
#include "sim/SimModels.h"

using namespace pb;

namespace {

LoaderProtocol protocolOf(sim::Loader l) {
    switch (l) {
        case sim::Loader::A: return LoaderProtocol::A;
        case sim::Loader::B: return LoaderProtocol::B;
        case sim::Loader::C: return LoaderProtocol::C;
        case sim::Loader::None: break;
    }
    return LoaderProtocol::None;
}

}  // namespace

// Every model the simulator plays is recognised as the family it says it is, with its
// ID length, loader and block size; a fixed header names its product and version code.
TEST(ControllerFamily, AgreesWithEverySimulatedModel) {
    for (const QString& name : sim::modelNames()) {
        const sim::Model m = *sim::modelFromName(name);
        const int kind = sim::modelKind(m);
        SCOPED_TRACE(name.toStdString());
        if (sim::hasThreeDigitId(m)) {
            EXPECT_EQ(kind, kModelKindStatusIdentified);
        } else if (kind != kModelKindNone) {
            const int byCode = ModelKindOfVersionCode(sim::dbVersion(m).left(2));
            const int byName = ModelKindOfModelName(sim::dbProduct(m).left(5));
            EXPECT_EQ(byCode != kModelKindNone ? byCode : byName, kind);
        } else {
            EXPECT_EQ(ModelKindOfVersionCode(sim::dbVersion(m).left(2)), kModelKindNone);
        }
        const ControllerFamily& f = FamilyOf(kind);
        EXPECT_EQ(f.idLength, sim::zeroId(m).size());
        EXPECT_EQ(f.statusIdentified, sim::hasThreeDigitId(m));
        EXPECT_EQ(f.dido == DidoVariant::Short, sim::hasThreeDigitId(m));
        EXPECT_EQ(f.loader, protocolOf(sim::loaderOf(m)));
        EXPECT_EQ(f.blocks.blockSize, sim::loaderBlockSize(sim::loaderOf(m)));
        if (f.header.fixedText) {
            // "R" releases take the "V" image of their family.
            const QByteArray expected =
                sim::dbProduct(m).trimmed() + "-V" + sim::dbVersion(m).mid(1, 1);
            EXPECT_EQ(QByteArray(f.header.fixedText).left(f.header.characters), expected);
        }
    }
}

// What the loaders need of the table: the verify reply compares the block's hex text (two
// characters a byte) over 1024, 512 and 128 characters; every address of a block read
// fits the four hex digits of the command; the longest program frame fits the transmit
// buffer; a loader reads an image and an image is read only for a loader.
TEST(ControllerFamily, BlocksFitTheLoaderCommands) {
    const std::map<LoaderProtocol, int> verifyCharacters{
        {LoaderProtocol::A, 1024}, {LoaderProtocol::B, 512}, {LoaderProtocol::C, 128}};
    for (const ControllerFamily& f : ControllerFamilies()) {
        SCOPED_TRACE(f.kind);
        EXPECT_EQ(f.kind, &f - ControllerFamilies().data() + 1);
        EXPECT_EQ(f.loader == LoaderProtocol::None, f.blocks.blockSize == 0);
        EXPECT_EQ(f.loader == LoaderProtocol::None, f.header.characters == 0);
        if (f.loader == LoaderProtocol::None) continue;
        EXPECT_EQ(2 * f.blocks.blockSize, verifyCharacters.at(f.loader));
        EXPECT_LE((f.blocks.blockLimit - 1) * f.blocks.blockSize, 0xFFFF);
        if (f.blocks.countCap > 0) {
            EXPECT_LE(f.blocks.countCap, f.blocks.blockLimit);
        }
        // ID, command letters, address, data: CRC frames for A, XOR for B and C.
        const int text = f.idLength + 2 + 4 + 2 * f.blocks.blockSize;
        EXPECT_LE(text, f.loader == LoaderProtocol::A ? kMaxCrcText : kMaxXorText);
        EXPECT_GE(f.pauses.program.attempts, 1);
        EXPECT_GE(f.pauses.verify.attempts, 1);
    }
    // Kind 6 flashes faster than kind 3, which shares its loader.
    EXPECT_LT(FamilyOf(6).pauses.program.beforeEachAttemptMs,
              FamilyOf(3).pauses.program.beforeEachAttemptMs);
}

// Unknown kinds and kind 0 behave as "not identified": standard DI/DO, no image.
TEST(ControllerFamily, UnknownKindsAreNotIdentified) {
    for (int kind : {kModelKindNone, -1, 8, 99}) {
        const ControllerFamily& f = FamilyOf(kind);
        EXPECT_EQ(f.kind, kModelKindNone);
        EXPECT_EQ(f.dido, DidoVariant::Standard);
        EXPECT_EQ(f.loader, LoaderProtocol::None);
        EXPECT_FALSE(BlockLayoutFor(kind));
    }
    EXPECT_EQ(ModelKindOfVersionCode("R2"), kModelKindNone);  // only "V2" names kind 5
    EXPECT_EQ(ModelKindOfVersionCode(""), kModelKindNone);
    EXPECT_EQ(ModelKindOfModelName("KV411"), kModelKindNone);
}
