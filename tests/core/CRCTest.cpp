#include <gtest/gtest.h>
#include <zlib.h>

#include "protocol/CRC.h"
#include "tests/core/ProtoTestUtil.h"

using namespace orvo;

namespace {

uint32_t ZlibCrc(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

TEST(Crc32, KnownValues) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    // Only the first count bytes take part.
    EXPECT_EQ(Crc32("123456789xyz", 9), 0xCBF43926u);
}

TEST(Crc32, MatchesZlibOnRandomBuffersOfManyLengths) {
    for (std::size_t len : {1u, 2u, 3u, 7u, 31u, 32u, 255u, 256u, 511u, 512u, 513u, 1000u, 4097u,
                            65535u, 65536u, 100003u}) {
        std::string data = prototest::RandomBytes(len, static_cast<uint32_t>(len));
        EXPECT_EQ(Crc32(data.data(), data.size()), ZlibCrc(data)) << "length " << len;
    }
    std::string zeros(777, '\0');
    EXPECT_EQ(Crc32(zeros.data(), zeros.size()), ZlibCrc(zeros));
    std::string ones(777, '\xFF');
    EXPECT_EQ(Crc32(ones.data(), ones.size()), ZlibCrc(ones));
}

TEST(Crc32, UpdateInPiecesEqualsWholeBuffer) {
    std::string data = prototest::RandomBytes(10000, 99);
    for (std::size_t cut : {0u, 1u, 32u, 512u, 4999u, 9999u, 10000u}) {
        uint32_t crc = Crc32Update(0, data.data(), cut);
        crc = Crc32Update(crc, data.data() + cut, data.size() - cut);
        EXPECT_EQ(crc, ZlibCrc(data)) << "cut at " << cut;
    }
}

}  // namespace
