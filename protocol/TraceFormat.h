// The text form of a trace of the phone's line: every byte both ways, one record
// per line, for a user to send with a problem report and for the phone emulator
// to replay (docs/reporting-problems.md describes it). Both the programs that
// write traces and the emulator that reads them use these, so the two never
// drift apart.
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
// or P (the phone sent), and the bytes as a quoted literal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace orvo {

struct TraceRecord {
    long long micros = 0;  // the record's time, since its block's start
    char direction = 'H';  // 'H' the computer sent, 'P' the phone sent
    std::string bytes;
    int line = 0;  // line number in the trace, from 1
};

// The bytes as the inside of a trace literal: printable ASCII stays, except '"'
// and '\', which are escaped like CR, LF and TAB (\" \\ \r \n \t); every other byte
// is \xHH with two upper-case hex digits. The result holds no line break.
std::string EscapeTraceBytes(const void* data, std::size_t length);
std::string EscapeTraceBytes(const std::string& bytes);

// The bytes of a literal's inside; false at an unknown or cut escape or a bare '"'.
bool UnescapeTraceLiteral(const std::string& text, std::string& bytes);

// The header lines that start a block; startedUtc is "YYYY-MM-DD HH:MM:SS.mmm".
std::string TraceHeaderLines(const std::string& program, const std::string& version,
                             const std::string& port, uint32_t baud, const std::string& startedUtc);
// One record's line, its line break included.
std::string TraceRecordLine(long long micros, char direction, const void* data, std::size_t length);
// A comment line ("# text"), its line break included.
std::string TraceNoteLine(const std::string& text);

// Reads a whole trace: records in order, comment ("#") and empty lines skipped.
// False at the first malformed line; error names it.
bool ParseTrace(std::istream& in, std::vector<TraceRecord>& records, std::string& error);

}  // namespace orvo
