// The AT file-system commands and the write blocks.
#pragma once

#include "engine/Session.h"
#include "protocol/Commands.h"

namespace orvo {

// Formats a command of kind with argument (a UTF-8 name or a one-byte folder code)
// and writes it to the port. A Write first stages the file from LocalFile.
void SendPhoneCommand(Session& s, PhoneCommand kind, const Bytes& argument);
// Sends the next block of the file being written (one per prompt).
void SendWriteBlock(Session& s);
// CRC-32 of LocalFile from its start, read back piece by piece through FileData
// (so a file of any size is covered); the file is left rewound.
uint32_t LocalFileCrc32(Session& s);
// Asks the phone for a file (UTF-8 name) whose size the listing gave, with the
// read's checks reset, and waits for its reply.
void StartRead(Session& s, const Bytes& utf8Name, int64_t listedSize);
// A read framed by learned lengths whose bytes fail the checksum is read once more,
// by the quiet gap alone, into the emptied local file: true when that read started.
bool RereadFailedLengthFramedRead(Session& s);

}  // namespace orvo
