// Bytes on the line and the serial port as the protocol sees it.
#pragma once

#include <cstdint>
#include <string>

// Byte strings: commands, replies, phone names (CP1251 inside the model), file data.
// They may hold any byte value, NUL included.
using Bytes = std::string;

// The serial port as the protocol sees it (the serial component implements it).
class IPort {
  public:
    virtual ~IPort() = default;
    // Queues a copy of the bytes for sending; false when nothing was queued.
    virtual bool Write(const void* data, uint16_t length) = 0;
    // Closes the port (the watchdog does this when the phone stays silent).
    virtual void Close() = 0;
};
