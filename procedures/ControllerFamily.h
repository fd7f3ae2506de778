#pragma once
// What each controller family (model kind 1..7) is to the tests: how it is recognised,
// the length of its ID, its DI/DO variant, how its firmware image is cut into blocks and
// checked, and which loader protocol programs it with which pauses. Every test that
// depends on the kind reads this table.

#include <QByteArray>
#include <QString>
#include <array>

namespace pb {

// The kind set before any controller was identified.
constexpr int kModelKindNone = 0;
// The older controller with a three-digit ID, identified through "AS".
constexpr int kModelKindStatusIdentified = 4;

enum class DidoVariant {
    Standard,  // four outputs pulsed with "JC", eight inputs from "DG0"
    Short,     // three outputs set with "JD", inputs 1-4 from "IE" and 7-8 from "DF"
};

enum class LoaderProtocol { None, A, B, C };

// How a family cuts its image into blocks.
struct BlockLayout {
    int blockSize = 0;
    int blockLimit = 0;  // blocks read from the file at most
    int countCap = 0;    // blocks sent at most; 0 for no cap
};

// How a firmware file's 16-byte header must start for this family.
struct HeaderCheck {
    const char* fixedText = nullptr;  // the text expected; none: the version text is
    int characters = 0;               // characters compared
    // A KV580 controller takes the KV300 image of its revision, compared over this many
    // characters; 0 when the rule does not apply.
    int kv580Characters = 0;
};

// Pauses and tries of one kind of loader block command.
struct BlockTiming {
    int beforeEachAttemptMs = 0;
    int afterFailedAttemptMs = 0;
    int attempts = 5;
};

struct LoaderPauses {
    BlockTiming program;
    BlockTiming verify;
};

struct ControllerFamily {
    int kind = kModelKindNone;
    // The version codes ("DB" reply positions 16-17) that name this family; the model
    // name ("DB" positions 8-12) for a family recognised by its name instead.
    std::array<const char*, 2> versionCodes{};
    const char* modelName = nullptr;
    int idLength = 4;
    // Identified by its "AS" answer; answers "AV" for its version and "AS" once it is
    // back up after a restart, and "IE" with its status instead of the store's counts.
    bool statusIdentified = false;
    DidoVariant dido = DidoVariant::Standard;
    BlockLayout blocks;  // blockSize 0: no firmware image is read
    HeaderCheck header;
    LoaderProtocol loader = LoaderProtocol::None;
    LoaderPauses pauses;
};

// The families of kinds 1..7, in kind order.
const std::array<ControllerFamily, 7>& ControllerFamilies();

// The family of a model kind; the not-identified family (kind 0: standard DI/DO, four-
// digit ID, no image, no loader) for 0 and any unknown kind.
const ControllerFamily& FamilyOf(int modelKind);

// The kind named by a "DB" version code, or 0 when the code names none.
int ModelKindOfVersionCode(const QByteArray& code);
// The kind named by a "DB" model name, or 0.
int ModelKindOfModelName(const QByteArray& name);

}  // namespace pb
