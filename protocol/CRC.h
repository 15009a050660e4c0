// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320), as zlib computes it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvo {

uint32_t Crc32(const void* buffer, std::size_t count);
// Streaming form: start with crc = 0, feed pieces in order.
uint32_t Crc32Update(uint32_t crc, const void* buffer, std::size_t count);

}  // namespace orvo
