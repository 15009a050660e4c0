// The serial line as the operating system offers it, behind one small set of calls.
// One file per system implements them (SystemLinePosix.cpp: a tty device with
// termios, poll and eventfd; SystemLineWin.cpp: a COM port with overlapped I/O and
// Win32 events); CMake builds the one for the target. The component's reader and
// writer threads, its log and its port search use nothing else of the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/Comm32.h"

namespace orvo {

namespace serial_system {

// An event two threads can wait on together with the line: once set it stays set
// until cleared, and every waiter sees it.
class Event {
  public:
    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // False when the system could not create it; Error() says why (errno values).
    bool Valid() const;
    int Error() const { return error_; }
    void Set();
    void Clear();
    bool IsSet() const;
    // Waits up to `ms` (-1: without limit) for `a` or `b`: 0 or 1 for the one set
    // (`a` first when both are), -1 when the time is up, -2 when waiting failed.
    static int WaitEither(const Event& a, const Event& b, int ms);

  private:
    friend class Line;
    std::intptr_t handle_;
    int error_ = 0;
};

// Counters of line errors since the line was opened.
enum class CountersState { Counted, NotKept, Failed };

// One opened serial line. Every call but Purge is made from one thread at a time:
// Read by the reader, Write by the writer; the owner closes the line (destroys it)
// only after both threads have ended.
class Line {
  public:
    // Opens `path` for reading and writing, exclusively, with raw 8N1 at baudRate
    // (`bits` data bits from its low byte), no flow control, DTR and RTS raised.
    // Throws ECommsError: "Ошибка открытия порта" with ENOENT (not found), EBUSY
    // (in use by another program) or EACCES (no access), "Неверный указатель. "
    // with ENOTTY (not a serial device).
    static std::unique_ptr<Line> Open(const std::string& path, uint32_t baudRate, uint32_t bits);
    // Leaves the exclusive mode and closes the port.
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    enum class ReadStatus {
        Data,     // `count` bytes are in the buffer
        Timeout,  // nothing arrived in the time given
        Stop,     // `stop` was set
        Lost,     // the device is gone; `failure` is the text for the log
        Failed,   // waiting failed or the handle is no longer valid: logged here
    };
    struct ReadResult {
        ReadStatus status = ReadStatus::Timeout;
        std::size_t count = 0;
        std::string failure;
    };
    // Waits up to `ms` (-1: without limit) for bytes or for `stop`, then reads what
    // is there, at most `capacity` bytes.
    ReadResult Read(uint8_t* buffer, std::size_t capacity, int ms, const Event& stop);

    enum class WriteStatus {
        Done,     // every byte was taken
        Stopped,  // `stop` was set, or the handle is no longer valid: no hang-up
        Failed,   // the line failed or stayed stalled for `ms`: logged, hang up
    };
    // Writes all of data within `ms`, unless `stop` is set first.
    WriteStatus Write(const uint8_t* data, std::size_t count, int ms, const Event& stop);

    // Drops what the driver holds for reading and/or for sending.
    void Purge(bool input, bool output);

    // Reads the driver's line-error counters (rises are what matter). NotKept when
    // the driver keeps none (pseudo-terminals); Failed is logged here.
    CountersState ReadErrorCounters(LineErrorCounters& out);

  private:
    struct Native;
    explicit Line(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
};

// Raises the calling thread's scheduling priority by `steps`. Best effort.
void RaiseThreadPriority(int steps);

// The diagnostic log file: created (truncated) or appended to; -1 and errno-style
// `error` when it cannot be. Lines are written whole, with their line break.
int OpenLogFile(const std::string& name, bool truncate, int& error);
bool WriteLogLine(int file, const std::string& line);
void CloseLogFile(int file);

// The system's English text for an errno value; empty when it has none.
std::string ErrnoText(int code);

}  // namespace serial_system

}  // namespace orvo
