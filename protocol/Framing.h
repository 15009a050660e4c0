// The framing of a read: the phone ends each data block with the marker "#OK#" and
// waits for the answer "##>\r\n" before it sends the next one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/Port.h"

namespace orvo {

extern const Bytes kMarker;        // "#OK#"
extern const Bytes kMarkerAnswer;  // "##>\r\n"

struct FramedChunk {
    Bytes bytes;                // what goes on to the reply lines
    bool answerMarker = false;  // a marker was taken out: answer it
};

// Frames one received chunk. The bytes held back from the last chunk (a possible
// start of a marker: "#", "#O" or "#OK") go in front; the last marker of the
// chunk is taken out, so file bytes that spell it earlier stay intact; a marker
// start at the end is held back for the next chunk. heldStale says the held bytes
// followed bytes that were dropped: they count only if they complete a marker.
// idle says that the bytes of this chunk will be dropped.
FramedChunk FrameChunk(Bytes& held, bool& heldStale, const uint8_t* data, std::size_t length,
                       bool idle);

// How many bytes at the front of data the serial component may hand over at once
// under framing: they end with a complete reply (see ReplyFraming). 0 when nothing
// may go before the quiet gap.
std::size_t FramedReplyEnd(ReplyFraming framing, const uint8_t* data, std::size_t length);

}  // namespace orvo
