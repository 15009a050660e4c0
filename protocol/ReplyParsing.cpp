#include "protocol/ReplyParsing.h"

#include <algorithm>
#include <limits>
#include <string>

namespace orvo {

namespace {

const Bytes kErrorMark = "+CME ERROR: ";

// The text of a reply field, safe to show: control and non-ASCII bytes become '?'.
std::string Printable(const Bytes& text) {
    std::string out;
    std::size_t n = std::min<std::size_t>(text.size(), 40);
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    if (text.size() > n)
        out += "...";
    return out;
}

// A signed decimal number: leading blanks, an optional sign, digits, nothing else.
int64_t ParseDecimal(const Bytes& text, int64_t lo, int64_t hi) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::size_t first = i;
    // Accumulate as a negative number so the lowest 64-bit value still fits.
    int64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value < (std::numeric_limits<int64_t>::min() + digit) / 10)
            overflow = true;
        else
            value = value * 10 - digit;
    }
    if (i == first || i != text.size() || overflow ||
        (!negative && value == std::numeric_limits<int64_t>::min()))
        throw ConversionError(ReplyFault::NotANumber, Printable(text));
    if (!negative)
        value = -value;
    if (value < lo || value > hi)
        throw ConversionError(ReplyFault::NotANumber, Printable(text));
    return value;
}

// Deletes everything up to and including the first c; false when there is none.
bool DropThrough(Bytes& text, char c) {
    std::size_t at = text.find(c);
    if (at == Bytes::npos)
        return false;
    text.erase(0, at + 1);
    return true;
}

}  // namespace

std::string ConversionError::Describe(ReplyFault f, const std::string& d) {
    switch (f) {
        case ReplyFault::NotANumber:
            return "not a number: '" + d + "'";
        case ReplyFault::LongerThanSaid:
            return "a file longer than announced (" + d + " bytes)";
        case ReplyFault::NoLineEnd:
            return "a reply line without end (" + d + " bytes)";
        case ReplyFault::EarlyOk:
            return "OK before the end of " + d;
    }
    return d;
}

Bytes TakeLine(Bytes& received) {
    std::size_t end = received.find('\n');
    if (end == Bytes::npos)
        return Bytes();
    Bytes line = received.substr(0, end + 1);
    received.erase(0, end + 1);
    return line;
}

void ParseListEntry(const Bytes& line, Bytes& name, int32_t& size) {
    Bytes rest = line;
    name.clear();
    // Any text, the quoted name, one separator, four ignored fields, the size.
    bool ok = DropThrough(rest, '"');
    std::size_t close = ok ? rest.find('"') : Bytes::npos;
    if (close != Bytes::npos) {
        name = rest.substr(0, close);
        rest.erase(0, std::min(rest.size(), close + 2));
    } else {
        ok = false;
    }
    for (int field = 0; ok && field < 4; ++field) ok = DropThrough(rest, ',');
    Bytes sizeText;
    if (ok) {
        std::size_t comma = rest.find(',');
        if (comma != Bytes::npos)
            sizeText = rest.substr(0, comma);
    }
    size = static_cast<int32_t>(ParseDecimal(sizeText, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
}

int64_t ParseReadHeader(const Bytes& line) {
    Bytes text = line.substr(0, line.size() >= 2 ? line.size() - 2 : 0);
    std::size_t comma = text.rfind(',');
    if (comma != Bytes::npos)
        text.erase(0, comma + 1);
    return ParseDecimal(text, std::numeric_limits<int64_t>::min(),
                        std::numeric_limits<int64_t>::max());
}

int64_t ParseReadHeaderSize(const Bytes& line) {
    std::size_t first = line.find(',');
    std::size_t last = line.rfind(',');
    if (first == Bytes::npos || last <= first)
        return -1;
    try {
        return ParseDecimal(line.substr(first + 1, last - first - 1), 0,
                            std::numeric_limits<int64_t>::max());
    } catch (const ConversionError&) {
        return -1;
    }
}

Bytes DataLineBytes(const Bytes& block) {
    // "+FSFR: " a,b, then the file's bytes, then the line end.
    Bytes data = block.substr(0, block.size() >= 2 ? block.size() - 2 : 0);
    DropThrough(data, ',');
    DropThrough(data, ',');
    return data;
}

PrefixParse ParseDataLinePrefix(const char* text, std::size_t size, DataLinePrefix& prefix) {
    static const char kHead[] = "+FSFR: ";
    constexpr std::size_t kHeadSize = sizeof kHead - 1;
    // More digits than a block's number or length ever needs: the field is not one.
    constexpr std::size_t kMaxDigits = 9;
    std::size_t i = 0;
    for (; i < kHeadSize; ++i) {
        if (i == size)
            return PrefixParse::Incomplete;
        if (text[i] != kHead[i])
            return PrefixParse::Invalid;
    }
    int64_t fields[2] = {0, 0};
    for (int64_t& field : fields) {
        const std::size_t first = i;
        for (;; ++i) {
            if (i == size)
                return PrefixParse::Incomplete;
            const char c = text[i];
            if (c == ',' && i > first)
                break;
            if (c < '0' || c > '9' || i - first == kMaxDigits)
                return PrefixParse::Invalid;
            field = field * 10 + (c - '0');
        }
        ++i;  // the comma
    }
    prefix.number = fields[0];
    prefix.length = fields[1];
    prefix.dataStart = i;
    return PrefixParse::Complete;
}

bool DataLineLengthAgrees(const Bytes& block) {
    DataLinePrefix prefix;
    if (ParseDataLinePrefix(block.data(), block.size(), prefix) != PrefixParse::Complete ||
        prefix.number == 0)
        return false;
    return block.size() == prefix.dataStart + static_cast<std::size_t>(prefix.length) + 2 &&
           block.compare(block.size() - 2, 2, "\r\n") == 0;
}

int32_t ParseErrorCode(const Bytes& line) {
    // The code follows the first 12 bytes of the line, whatever they are.
    Bytes codeText;
    if (line.size() > kErrorMark.size() + 2)
        codeText = line.substr(kErrorMark.size(), line.size() - kErrorMark.size() - 2);
    return static_cast<int32_t>(ParseDecimal(codeText, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
}

}  // namespace orvo
