// Where the serial component may hand the phone's bytes over before the quiet gap.
#include <gtest/gtest.h>

#include "protocol/Framing.h"

using namespace orvo;

namespace {

std::size_t End(ReplyFraming framing, const std::string& bytes) {
    return FramedReplyEnd(framing, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(FramedReplyEnd, LinesGoThroughTheLastCompleteLine) {
    EXPECT_EQ(End(ReplyFraming::Lines, "##>\r\n"), 5u);
    EXPECT_EQ(End(ReplyFraming::Lines, "OK"), 0u);
    EXPECT_EQ(End(ReplyFraming::Lines, ""), 0u);
    EXPECT_EQ(End(ReplyFraming::Lines, "+FSDL: \"a\",1\r\n+FSDL: \"b\",1\r\n+FS"), 28u);
    // The quiet gap alone ends a reply, however complete it looks.
    EXPECT_EQ(End(ReplyFraming::QuietGap, "OK\r\n"), 0u);
}

// A read's data line goes with its marker once its stated length is in; the read's
// own lines go whole; anything that does not fit waits for the quiet gap.
TEST(FramedReplyEnd, ReadBlocksByTheirStatedLength) {
    const ReplyFraming read = ReplyFraming::ReadBlocks;
    const std::string block = "+FSFR: 2,10,#OK#\r\nOK\r\n\r\n#OK#";  // 10 bytes of data
    EXPECT_EQ(End(read, block), block.size());
    EXPECT_EQ(End(read, block.substr(0, block.size() - 1)), 0u);
    EXPECT_EQ(End(read, "+FSFR: 0,20,123\r\n" + block + "OK\r\n"), 17 + block.size() + 4);
    EXPECT_EQ(End(read, "+CME ERROR: 11\r\nOK\r\n+FS"), 20u);
    // The stated length disagrees with where the line ends.
    EXPECT_EQ(End(read, "+FSFR: 2,9,#OK#\r\nOK\r\n\r\n#OK#"), 0u);
    EXPECT_EQ(End(read, "+FSFR: 2,x,ab\r\n#OK#"), 0u);
    // The rest of a block that the quiet gap cut: it never passes for a reply.
    EXPECT_EQ(End(read, "abc\r\n#OK#"), 0u);
    EXPECT_EQ(End(read, "OK\r\n\r\n#OK#"), 4u);
}

}  // namespace
