#include "protocol/CRC.h"

#include <array>

namespace orvo {

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* buffer, std::size_t count) {
    if (count == 0)
        return crc;
    const auto* p = static_cast<const uint8_t*>(buffer);
    uint32_t c = ~crc;
    for (std::size_t i = 0; i < count; ++i) c = kTable[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

uint32_t Crc32(const void* buffer, std::size_t count) {
    return Crc32Update(0, buffer, count);
}

}  // namespace orvo
