#include "engine/PhoneCommands.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "protocol/CRC.h"
#include "protocol/Commands.h"

namespace orvo {

namespace {

constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kHeaderSize = 32;

// Every transfer stages its bytes in TransferBuffer and reads the file through
// FileData; both stay empty until the first transfer, so give them their full
// length here rather than overrun them.
void EnsureBuffers(Session& s) {
    if (s.TransferBuffer.size() < kTransferBufferSize)
        s.TransferBuffer.resize(kTransferBufferSize, 0);
    if (s.FileData.size() < kFileDataSize)
        s.FileData.resize(kFileDataSize, 0);
}

uint32_t Announced(int32_t size) {
    return size < 0 ? 0u : static_cast<uint32_t>(size);
}

// Stages the file for a Write and returns the checksum of the byte stream the
// blocks will carry: in header mode the 32 header bytes, then the file's bytes,
// as many as the command announces. The file is read piece by piece, so files
// larger than the staging buffers are checksummed without overrunning them. The
// first piece is also left in TransferBuffer behind the header, as before.
uint32_t StageWrite(Session& s) {
    EnsureBuffers(s);
    const bool header = s.OperationStep == 1;
    const std::size_t offset = header ? kHeaderSize : 0;
    uint64_t remaining = Announced(s.UploadSize);
    uint32_t crc = 0;
    if (header) {
        std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(remaining, kHeaderSize));
        crc = Crc32Update(crc, s.TransferBuffer.data(), n);
        remaining -= n;
    }
    s.WriteBytesLeft = static_cast<int64_t>(remaining);
    bool first = true;
    for (;;) {
        std::size_t n = s.LocalFile.Read(s.FileData.data(), s.FileData.size());
        if (n == 0)
            break;
        if (first) {
            std::size_t fit = std::min(n, s.TransferBuffer.size() - offset);
            std::memcpy(s.TransferBuffer.data() + offset, s.FileData.data(), fit);
            first = false;
        }
        std::size_t counted = static_cast<std::size_t>(std::min<uint64_t>(remaining, n));
        crc = Crc32Update(crc, s.FileData.data(), counted);
        remaining -= counted;
    }
    s.LocalFile.ReopenRead();
    return crc;
}

// How many file bytes the next block may take.
std::size_t BlockLimit(const Session& s, std::size_t room) {
    return static_cast<std::size_t>(std::clamp<int64_t>(s.WriteBytesLeft, 0, room));
}

}  // namespace

void SendPhoneCommand(Session& s, PhoneCommand kind, const Bytes& argument) {
    Bytes line;
    switch (kind) {
        case PhoneCommand::Write: {
            uint32_t crc = StageWrite(s);
            line = FormatWriteCommand(argument, Announced(s.UploadSize), crc);
            break;
        }
        default:
            line = FormatCommand(kind, argument);
            if (line.empty())
                return;
    }
    s.PortWrite(line);
}

uint32_t LocalFileCrc32(Session& s) {
    EnsureBuffers(s);
    s.LocalFile.Rewind();
    uint32_t crc = 0;
    for (;;) {
        std::size_t n = s.LocalFile.Read(s.FileData.data(), s.FileData.size());
        if (n == 0)
            break;
        crc = Crc32Update(crc, s.FileData.data(), n);
    }
    s.LocalFile.Rewind();
    return crc;
}

void SendWriteBlock(Session& s) {
    EnsureBuffers(s);
    uint8_t block[kBlockSize];
    if (s.OperationStep == 1) {
        // Header mode: the first block is the 32 header bytes and 480 file bytes.
        s.LocalFile.ReopenRead();
        std::size_t n = s.LocalFile.Read(block, BlockLimit(s, kBlockSize - kHeaderSize));
        s.WriteBytesLeft -= static_cast<int64_t>(n);
        std::memcpy(s.TransferBuffer.data() + kHeaderSize, block, n);
        s.OperationStep = 0;
        s.PortWrite(s.TransferBuffer.data(), kHeaderSize + n);
        s.TransferMoved(static_cast<int64_t>(n));
        return;
    }
    // A prompt after the last block (the file already closed) sends nothing.
    if (!s.LocalFile.IsOpen())
        return;
    std::size_t n = s.LocalFile.Read(block, BlockLimit(s, kBlockSize));
    if (n == 0)
        return;
    s.WriteBytesLeft -= static_cast<int64_t>(n);
    std::memcpy(s.TransferBuffer.data(), block, n);
    s.PortWrite(s.TransferBuffer.data(), n);
    s.TransferMoved(static_cast<int64_t>(n));
}

namespace {

void BeginRead(Session& s, const Bytes& utf8Name, int64_t listedSize, bool quietOnly) {
    // A checksum left over from an earlier file must not vouch for this one.
    s.ExpectedCrc = -1;
    s.CurrentOperation = OperationState::Reading;
    // Nothing of an earlier read counts against this one, and each read learns its
    // blocks' framing afresh.
    s.Read = ReadState{};
    s.Read.AnnouncedSize = std::max<int64_t>(listedSize, 0);
    s.Read.QuietOnly = quietOnly;
    if (quietOnly)
        s.Read.Framing = ReadState::BlockFraming::QuietGap;
    s.Read.Name = utf8Name;
    SendPhoneCommand(s, PhoneCommand::Read, utf8Name);
    s.TimerOn();
}

}  // namespace

void StartRead(Session& s, const Bytes& utf8Name, int64_t listedSize) {
    BeginRead(s, utf8Name, listedSize, false);
}

bool RereadFailedLengthFramedRead(Session& s) {
    if (!s.Read.UsedLength || s.Read.QuietOnly || s.ExpectedCrc == static_cast<int64_t>(s.Read.Crc))
        return false;
    s.LocalFile.Truncate();
    s.Progress.ProgressBar1.SetPosition(0);
    s.ProgressUpdated();
    s.RestartTransferFile();
    const ReadState failed = s.Read;
    BeginRead(s, failed.Name, failed.AnnouncedSize, true);
    return true;
}

}  // namespace orvo
