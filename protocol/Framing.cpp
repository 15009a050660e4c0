#include "protocol/Framing.h"

#include <algorithm>
#include <utility>

const Bytes kMarker = "#OK#";
const Bytes kMarkerAnswer = "##>\r\n";

namespace {

// How many bytes at the end of text are a proper prefix of the marker ("#",
// "#O" or "#OK"), so that the rest of the marker may come with the next chunk.
std::size_t MarkerStartAtEnd(const Bytes& text) {
    for (std::size_t n = kMarker.size() - 1; n > 0; --n) {
        if (text.size() >= n && text.compare(text.size() - n, n, kMarker, 0, n) == 0)
            return n;
    }
    return 0;
}

}  // namespace

FramedChunk FrameChunk(Bytes& held, bool& heldStale, const uint8_t* data, std::size_t length,
                       bool idle) {
    FramedChunk framed;
    // The start of a marker held back from the previous chunk goes in front. When
    // the bytes it followed were dropped, it is dropped too unless it turns out to
    // be the start of a marker: `stale` counts those bytes at the front.
    Bytes chunk = std::move(held);
    std::size_t stale = heldStale ? chunk.size() : 0;
    held.clear();
    heldStale = false;
    chunk.append(reinterpret_cast<const char*>(data), length);

    // The phone puts its marker behind a data line and waits for the answer. Take
    // out the last one of the chunk, so that file bytes which happen to spell the
    // marker earlier in the line stay intact.
    std::size_t at = chunk.rfind(kMarker);
    if (at != Bytes::npos) {
        framed.answerMarker = true;
        chunk.erase(at, kMarker.size());
        if (at < stale)
            stale = 0;  // the held bytes were the start of this marker
    }

    // A chunk may end inside the marker. Hold those bytes back until the next
    // chunk shows whether they are one; they never end a reply line ("\n" does),
    // so no reply waits for them.
    if (std::size_t n = MarkerStartAtEnd(chunk)) {
        held = chunk.substr(chunk.size() - n);
        chunk.resize(chunk.size() - n);
        // The engine drops whatever arrives while idle; these bytes too, unless
        // they complete a marker.
        heldStale = idle || chunk.size() < stale;
        stale = std::min(stale, chunk.size());
    }
    chunk.erase(0, stale);
    framed.bytes = std::move(chunk);
    return framed;
}
