// Acting on the phone's replies: file data into the local file, error reports.
#pragma once

#include "engine/Session.h"
#include "protocol/ReplyParsing.h"

namespace orvo {

// Takes the next whole reply line out of the session's receive buffer.
inline Bytes TakeLine(Session& s) {
    return TakeLine(s.ReceiveBuffer);
}
// Writes the file bytes of a data line to the local file; returns how many.
std::size_t StoreDataBlock(Session& s, const Bytes& block);
void ReportPhoneError(Session& s, const Bytes& line);

}  // namespace orvo
