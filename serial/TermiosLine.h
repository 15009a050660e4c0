// The serial line as the operating system offers it: today a tty device with
// termios. The reader and writer threads of the component work on the descriptor
// this returns; another system's line sits beside this file with the same calls.
#pragma once

#include <cstdint>
#include <string>

#include "serial/Comm32.h"

namespace orvo {

// Opens the device for reading and writing, without becoming its controlling
// terminal, exclusively (a lock other programs see, and the tty's exclusive
// mode), and sets raw 8N1 at baudRate with `bits` data bits, no flow control.
// Throws ECommsError carrying the system's error code (EBUSY when another
// program holds the port, ENOTTY when the path is not a serial device).
int OpenLine(const std::string& path, uint32_t baudRate, uint32_t bits);
// Sets the line: raw, `bits` data bits, one stop bit, no parity, no flow control.
void ConfigureLine(int fd, uint32_t baudRate, uint32_t bits);
// The driver's counters of line errors; false when the driver keeps none.
bool ReadLineErrorCounters(int fd, LineErrorCounters& out);
// Leaves the exclusive mode and closes the descriptor.
void CloseLine(int fd);

}  // namespace orvo
