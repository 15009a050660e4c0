// How the phone's folders name the files written into them: pure functions.
#pragma once

#include <cstddef>
#include <string>

#include "protocol/Port.h"

namespace orvo {

struct PhoneNode;

// The name (UTF-8) a computer file of this name gets in folder on the phone: in
// "java" a ".jar" or ".jad" without "_suite" gains it before the extension; in
// "My Sounds" a name longer than 28 bytes keeps its first 24 and last 4 bytes,
// never splitting a UTF-8 character. ("Default Sounds" gives each melody a free
// slot of its own: FreeMelodySlot.)
std::string NameOnPhone(const PhoneNode& folder, std::string utf8);

// "Default Sounds" keeps its melodies under the slot names melody01.mel to
// melody16.mel: the first one the folder does not hold, or empty when all are taken.
std::string FreeMelodySlot(const PhoneNode& folder);

// A melody file starts with "MMMD" (bare), or carries the phone's 32-byte header
// with "MMMD" behind it; anything else is not a melody.
enum class MelodyKind { Bare, WithHeader, NotAMelody };
constexpr std::size_t kMelodySignatureBytes = 36;
constexpr std::size_t kMelodyHeaderSize = 32;
// Classifies a file by its first bytes (as many as it has, up to 36).
MelodyKind ClassifyMelody(const unsigned char* head, std::size_t count);
// The header a bare melody gets in front: the slot name's first 12 bytes, 0x00,
// then 0xFF up to 32 bytes.
Bytes MelodyHeader(const std::string& slot);

}  // namespace orvo
