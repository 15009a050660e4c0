// The receive handler and the reply watchdog.
#pragma once

#include <string>

#include "engine/Session.h"

namespace orvo {

// A block of bytes from the phone: framed (the read marker answered) and acted on.
void ReceiveChunk(Session& s, const uint8_t* buffer, uint16_t bufferLength);
// The reply watchdog's interval passed without the awaited reply.
void WatchdogExpired(Session& s);
// Start-up: sends the first reset and puts the window into the initialising state.
void InitialisePhone(Session& s);
// The line to the phone is gone (the cable was pulled, the device vanished): ends
// whatever runs at once, discards a partial download, closes the port, tells the
// user which port was lost and offers the settings again.
void ConnectionLost(Session& s, const std::string& portName);

}  // namespace orvo
