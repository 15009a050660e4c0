#include "protocol/Framing.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "protocol/ReplyParsing.h"

namespace orvo {

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

bool StartsWith(const char* text, std::size_t size, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return size >= n && std::memcmp(text, prefix, n) == 0;
}

// The end of the complete read replies at the front of text: data lines whose
// second field is their length, each followed by its marker, and the read's own
// lines. Anything else (a data line of another length, bytes that continue a block
// cut short by the quiet gap) stops the scan: the quiet gap ends those.
std::size_t ReadRepliesEnd(const char* text, std::size_t size) {
    static const char kBlockEnd[] = "\r\n#OK#";
    constexpr std::size_t kBlockEndSize = sizeof kBlockEnd - 1;
    std::size_t pos = 0;
    while (pos < size) {
        const char* rest = text + pos;
        const std::size_t left = size - pos;
        DataLinePrefix prefix;
        const PrefixParse parse = ParseDataLinePrefix(rest, left, prefix);
        if (parse == PrefixParse::Incomplete)
            break;
        if (parse == PrefixParse::Complete && prefix.number != 0) {
            const std::size_t end =
                prefix.dataStart + static_cast<std::size_t>(prefix.length) + kBlockEndSize;
            if (left < end ||
                std::memcmp(rest + end - kBlockEndSize, kBlockEnd, kBlockEndSize) != 0)
                break;
            pos += end;
            continue;
        }
        const void* newline = std::memchr(rest, '\n', left);
        if (!newline)
            break;
        const std::size_t line = static_cast<const char*>(newline) - rest + 1;
        const bool header = parse == PrefixParse::Complete;  // "+FSFR: 0,<size>,<crc>"
        if (!header && !(line == 4 && StartsWith(rest, left, "OK\r\n")) &&
            !StartsWith(rest, left, "+CME ERROR: "))
            break;
        pos += line;
    }
    return pos;
}

}  // namespace

std::size_t FramedReplyEnd(ReplyFraming framing, const uint8_t* data, std::size_t length) {
    const char* text = reinterpret_cast<const char*>(data);
    switch (framing) {
        case ReplyFraming::Lines:
            for (std::size_t i = length; i > 0; --i) {
                if (text[i - 1] == '\n')
                    return i;
            }
            return 0;
        case ReplyFraming::ReadBlocks:
            return ReadRepliesEnd(text, length);
        case ReplyFraming::QuietGap:
            break;
    }
    return 0;
}

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

}  // namespace orvo
