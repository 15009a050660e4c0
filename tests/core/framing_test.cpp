// Where the serial component may hand the phone's bytes over before the quiet gap.
#include "protocol/Framing.h"

#include <gtest/gtest.h>

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

}  // namespace
