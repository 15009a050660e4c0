// A trace of the phone's line: every byte both ways, appended to a text file, one
// record per line, for a user to send with a problem report and for the phone
// emulator to replay (docs/reporting-problems.md describes the format).
//
//   # orvo line trace 1
//   # program: orvo-cli 0.1
//   # port: /dev/ttyUSB0
//   # speed: 115200
//   # started: 2026-12-09 02:30:00.123 UTC
//   0.000412 H "AT\r"
//   0.031877 P "\r\nOK\r\n"
//
// Each record: seconds since the block's "started" line, H (the computer sent)
// or P (the phone sent), and the bytes as a quoted literal. Writes are buffered
// and flushed shortly after, so recording never waits on the disk.
#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace orvo {

class LineTrace {
  public:
    LineTrace();
    ~LineTrace();
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

    // Opens path for appending (creating its folder when missing). On failure the
    // trace stays closed and error says why.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // Starts a block: the header lines; record times count from here.
    void Header(const std::string& program, const std::string& port, uint32_t baud);
    // One record; direction is 'H' (to the phone) or 'P' (from the phone).
    void Record(char direction, const void* data, std::size_t length);
    // A comment line ("# text").
    void Note(const std::string& text);

  private:
    void Written();

    std::FILE* file_ = nullptr;
    std::string path_;
    std::chrono::steady_clock::time_point start_;
    QTimer flush_;
};

// The bytes as the inside of a trace literal: printable ASCII stays, except '"'
// and '\', which are escaped like CR, LF and TAB (\" \\ \r \n \t); every other byte
// is \xHH with two upper-case hex digits.
std::string EscapeTraceBytes(const void* data, std::size_t length);

// The program's version, for the header.
const char* ProgramVersion();

}  // namespace orvo
