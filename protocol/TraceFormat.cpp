#include "protocol/TraceFormat.h"

#include <algorithm>
#include <cctype>

namespace orvo {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "12.000345" as microseconds; false when it is not a time.
bool ParseTime(const std::string& text, long long& micros) {
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    auto digits = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
    };
    if (whole.empty() || whole.size() > 12 || !digits(whole) || fraction.size() > 6 ||
        !digits(fraction))
        return false;
    micros = std::stoll(whole) * 1000000;
    if (!fraction.empty())
        micros += std::stoll(fraction + std::string(6 - fraction.size(), '0'));
    return true;
}

}  // namespace

std::string EscapeTraceBytes(const void* data, std::size_t length) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* p = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve(length + length / 2);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = p[i];
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += static_cast<char>(c);
                } else {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 0x0F];
                }
        }
    }
    return out;
}

std::string EscapeTraceBytes(const std::string& bytes) {
    return EscapeTraceBytes(bytes.data(), bytes.size());
}

bool UnescapeTraceLiteral(const std::string& text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            return false;
        if (c != '\\') {
            bytes += c;
            continue;
        }
        if (++i >= text.size())
            return false;
        switch (text[i]) {
            case 'r':
                bytes += '\r';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 't':
                bytes += '\t';
                break;
            case '\\':
                bytes += '\\';
                break;
            case '"':
                bytes += '"';
                break;
            case 'x': {
                const int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
                const int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
                if (hi < 0 || lo < 0)
                    return false;
                bytes += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

std::string TraceHeaderLines(const std::string& program, const std::string& version,
                             const std::string& port, uint32_t baud,
                             const std::string& startedUtc) {
    return "# orvo line trace 1\n# program: " + EscapeTraceBytes(program) + " " +
           EscapeTraceBytes(version) + "\n# port: " + EscapeTraceBytes(port) +
           "\n# speed: " + std::to_string(baud) + "\n# started: " + startedUtc + " UTC\n";
}

std::string TraceRecordLine(long long micros, char direction, const void* data,
                            std::size_t length) {
    // Whole numbers only: a floating-point format follows the user's locale ("0,5").
    std::string fraction = std::to_string(micros % 1000000);
    fraction.insert(0, 6 - fraction.size(), '0');
    return std::to_string(micros / 1000000) + "." + fraction + " " + direction + " \"" +
           EscapeTraceBytes(data, length) + "\"\n";
}

std::string TraceNoteLine(const std::string& text) {
    return "# " + EscapeTraceBytes(text) + "\n";
}

bool ParseTrace(std::istream& in, std::vector<TraceRecord>& records, std::string& error) {
    records.clear();
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        auto bad = [&](const std::string& what) {
            error = "line " + std::to_string(number) + ": " + what;
            return false;
        };
        // <time> <H|P> "<literal>"
        const std::size_t space = line.find(' ');
        TraceRecord r;
        r.line = number;
        if (space == std::string::npos || !ParseTime(line.substr(0, space), r.micros))
            return bad("no time at the start");
        if (line.size() < space + 5 || (line[space + 1] != 'H' && line[space + 1] != 'P') ||
            line[space + 2] != ' ' || line[space + 3] != '"' || line.back() != '"')
            return bad("not a record: time, H or P, and the bytes in quotes");
        r.direction = line[space + 1];
        const std::string inside = line.substr(space + 4, line.size() - space - 5);
        if (!UnescapeTraceLiteral(inside, r.bytes))
            return bad("the bytes are not a well-formed literal");
        records.push_back(std::move(r));
    }
    if (in.bad())
        return (error = "cannot read the trace"), false;
    return true;
}

}  // namespace orvo
