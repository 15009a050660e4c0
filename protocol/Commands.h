// The AT file-system commands as bytes on the line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/Port.h"

namespace orvo {

enum class PhoneCommand : uint8_t {
    Reset = 0,
    List = 1,
    Read = 2,
    Write = 3,
    Erase = 4,
    ChangeFolder = 5,
};

// The command line of kind with its argument (a UTF-8 name or a one-byte folder
// code), CR LF included; empty for Write (see FormatWriteCommand) and unknown kinds.
Bytes FormatCommand(PhoneCommand kind, const Bytes& argument);
// The Write line for a name, announced size and checksum.
Bytes FormatWriteCommand(const Bytes& name, uint32_t size, uint32_t crc);
// The phone's block size: a Write's data goes in blocks of at most this many bytes.
constexpr std::size_t kWriteBlockSize = 512;

}  // namespace orvo
