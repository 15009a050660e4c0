// The phone's reply lines taken apart: pure functions over bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "protocol/Port.h"

namespace orvo {

// What is wrong with a reply of the phone.
enum class ReplyFault {
    NotANumber,      // detail: the text where a number belongs
    LongerThanSaid,  // a read sent more than its announced size; detail: that size
    NoLineEnd,       // a reply line that never ends; detail: the bytes held
    EarlyOk,         // an "OK" before a file's bytes were all sent; detail: the file
};

// A reply of the phone that is not one of the protocol. The fault and its detail
// say what (a front end phrases them); what() is for developers.
class ConversionError : public std::runtime_error {
  public:
    ConversionError(ReplyFault f, std::string d)
        : std::runtime_error(Describe(f, d)), fault(f), detail(std::move(d)) {}
    ReplyFault fault;
    std::string detail;

  private:
    static std::string Describe(ReplyFault f, const std::string& d);
};

// Takes the first whole line (through its "\n") off the front of received; empty
// when no line is complete yet.
Bytes TakeLine(Bytes& received);
// Name (UTF-8 bytes) and size of a "+FSDL: " line. Throws ConversionError.
void ParseListEntry(const Bytes& line, Bytes& name, int32_t& size);
// The checksum of a "+FSFR: 0" header line. Throws ConversionError.
int64_t ParseReadHeader(const Bytes& line);
// The file size of a "+FSFR: 0,<size>,<crc>" header line, or -1 when that field
// is not a number.
int64_t ParseReadHeaderSize(const Bytes& line);
// The file bytes of a "+FSFR: <n>,<len>,<bytes>\r\n" data line.
Bytes DataLineBytes(const Bytes& block);

// The front of a read's data line, "+FSFR: <n>,<len>,", in plain decimal digits: the
// block's number, the length its second field gives and where the file bytes start.
// (Number 0 is the read's header line, "+FSFR: 0,<size>,<crc>".)
struct DataLinePrefix {
    int64_t number = 0;
    int64_t length = 0;
    std::size_t dataStart = 0;
};
enum class PrefixParse { Incomplete, Invalid, Complete };
// Incomplete: the bytes so far may still become such a front; Invalid: they never will.
PrefixParse ParseDataLinePrefix(const char* text, std::size_t size, DataLinePrefix& prefix);
// The block (a data line through its "\r\n", marker taken off) carries as many file
// bytes as its second field says.
bool DataLineLengthAgrees(const Bytes& block);
// The code of a "+CME ERROR: <code>\r\n" line. Throws ConversionError.
int32_t ParseErrorCode(const Bytes& line);

}  // namespace orvo
