// The phone's Java application registry: the list "suites.utf" built from the
// ".jad" files of the "java" folder (a pure function), and the fixed contents of
// "suitesName.utf".
#pragma once

#include <cstddef>

#include "protocol/Port.h"

namespace orvo {

struct PhoneNode;

constexpr std::size_t kSuitesListSize = 4100;
extern const char kSuitesFile[];      // "suites.utf"
extern const char kSuitesNameFile[];  // "suitesName.utf"
extern const char kSuitesName[];      // the 11 bytes "suitesName.utf" holds
constexpr std::size_t kSuitesNameLength = 11;

// One record per ".jad" entry of java, in the folder's order: 0x00, n + 1, the n
// bytes of the name without its last 10 bytes ("_suite.jad"), "_". False when the
// records would be longer than kSuitesListSize (records is then left as it was).
bool BuildSuitesList(const PhoneNode& java, Bytes& records);

}  // namespace orvo
