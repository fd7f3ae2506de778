#pragma once
// Where the tests read the controller's replies: whole-frame lengths (lead byte to CR)
// and 1-based fields, as docs/controller.md lays the replies out. A four-digit
// controller's payload is ID (2-5), mnemonic (6-7), data from 8; the older three-digit
// controller's is one position earlier.

#include "link/Exchange.h"

namespace pb::reply {

// A reply with no data: four-digit ID, and the older controller's three-digit ID.
constexpr int kBareLength = 13;
constexpr int kBareLengthOlder = 12;

// "AC", the identify query of a four-digit controller.
namespace ac {
constexpr int kLength = 17;
constexpr int kLengthShort = 15;
constexpr ReplyField kId{2, 4};
}  // namespace ac

// "AS", the status of the older controller: its ID, and its serial number. A four-digit
// controller answers "AS" with one more character in front of the serial number.
namespace as {
constexpr int kLength = 20;
constexpr ReplyField kId{2, 3};
constexpr ReplyField kSerial{7, 8};
constexpr int kLengthFourDigit = 21;
constexpr ReplyField kSerialFourDigit{8, 8};
}  // namespace as

// "AV", the older controller's version: short (a number shown after the model name)
// or long (the whole version text).
namespace av {
constexpr int kLengthShort = 20;
constexpr ReplyField kNumber{7, 8};
constexpr int kLengthLong = 28;
constexpr ReplyField kText{7, 16};
}  // namespace av

// "DB", the version of every four-digit controller: product, revision (its first two
// characters are the version code), and the KV410's longer model name and build.
namespace db {
constexpr int kLength = 29;
constexpr ReplyField kProduct{8, 8};
constexpr ReplyField kRevision{16, 8};
constexpr ReplyField kVersionCode{16, 2};
constexpr ReplyField kModel{8, 5};
constexpr ReplyField kKv410Name{8, 12};
constexpr ReplyField kKv410Build{20, 4};
}  // namespace db

// "IE" of the older controller (its status): inputs 1-4, in both reply lengths.
namespace ieOlder {
constexpr int kLength = 52;
constexpr int kLengthShort = 32;
constexpr ReplyField kInputs1To4{23, 4};
}  // namespace ieOlder

// "DF" of the older controller: inputs 7 and 8.
namespace df {
constexpr int kLength = 14;
constexpr ReplyField kInputs7To8{7, 2};
}  // namespace df

// "DG0": inputs 1-8.
namespace dg0 {
constexpr int kLength = 29;
constexpr ReplyField kInputs1To8{8, 8};
}  // namespace dg0

}  // namespace pb::reply
