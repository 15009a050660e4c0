// Bytes on the line and the serial port as the protocol sees it.
#pragma once

#include <cstdint>
#include <string>

namespace orvo {

// Byte strings: commands, replies, phone names (CP1251 inside the model), file data.
// They may hold any byte value, NUL included.
using Bytes = std::string;

// How the serial component cuts the phone's bytes into chunks for the engine. A
// chunk always ends once the line has been quiet for the component's read interval
// (the quiet gap); the other modes hand bytes over earlier, as soon as they make
// complete replies:
//   QuietGap    nothing earlier; for replies whose end only the silence after them shows
//   Lines       every complete line ("\n"), for replies made only of short lines
//   ReadBlocks  a read's data line framed by the length in its second field together
//               with its "#OK#" marker, and the read's own lines (its header, "OK",
//               an error line); anything else waits for the quiet gap
enum class ReplyFraming : uint8_t { QuietGap, Lines, ReadBlocks };

// The serial port as the protocol sees it (the serial component implements it).
class IPort {
  public:
    virtual ~IPort() = default;
    // Queues a copy of the bytes for sending; false when nothing was queued.
    virtual bool Write(const void* data, uint16_t length) = 0;
    // Closes the port (the watchdog does this when the phone stays silent).
    virtual void Close() = 0;
    // The framing of the replies to whatever is written next. It applies to bytes
    // not yet handed over, so it is set before the command whose reply it frames.
    // False when the port does not frame by it (it hands bytes over as they come, or
    // by the quiet gap only).
    // Every port says so itself: a wrapper that forgot to pass it on would quietly
    // leave the line at the quiet gap.
    virtual bool SetReplyFraming(ReplyFraming framing) = 0;
};

}  // namespace orvo
