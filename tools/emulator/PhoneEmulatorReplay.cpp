#include "tools/emulator/PhoneEmulatorReplay.h"

#include <algorithm>
#include <cctype>

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

// A window of a byte string around offset, as a literal.
std::string Around(const std::string& bytes, std::size_t offset) {
    constexpr std::size_t kSide = 40;
    const std::size_t from = offset > kSide ? offset - kSide : 0;
    const std::size_t to = std::min(bytes.size(), offset + kSide);
    return (from > 0 ? "..." : "") + std::string("\"") +
           TraceLiteral(bytes.substr(from, to - from)) + "\"" + (to < bytes.size() ? "..." : "");
}

}  // namespace

std::string TraceLiteral(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
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
    return true;
}

TraceReplay::TraceReplay(const std::vector<TraceRecord>& records) {
    long long previous = 0;
    for (const TraceRecord& r : records) {
        if (r.bytes.empty())
            continue;  // nothing on the line (a hand-edited trace)
        // A new block starts its times again from zero.
        const long long delay = std::max(0LL, r.micros - previous);
        previous = r.micros;
        if (r.direction == 'H') {
            // Bytes the computer wrote with no reply between them make one command.
            if (commands_.empty() || !commands_.back().replies.empty())
                commands_.push_back({std::string(), r.line, {}});
            commands_.back().bytes += r.bytes;
        } else {
            std::vector<Reply>& replies = commands_.empty() ? opening_ : commands_.back().replies;
            // A reply's first block: the recording program took it only after the
            // line had been quiet for its block wait, and the replaying program
            // waits as long again.
            const long long pause =
                replies.empty() ? std::max(0LL, delay - kTraceBlockWaitMicros) : delay;
            replies.push_back({pause, r.bytes});
        }
    }
}

bool TraceReplay::Receive(const char* data, std::size_t length, std::vector<Reply>& replies) {
    if (!difference_.empty())
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (next_ == commands_.size()) {
            difference_ = "the computer sent more than the recording holds, after command " +
                          std::to_string(commands_.size()) + ": " +
                          Around(std::string(data + i, length - i), 0);
            return false;
        }
        const Command& c = commands_[next_];
        received_ += data[i];
        if (c.bytes[offset_] != data[i]) {
            Differs(offset_, data + i + 1, length - i - 1);
            return false;
        }
        if (++offset_ == c.bytes.size()) {
            replies.insert(replies.end(), c.replies.begin(), c.replies.end());
            ++next_;
            offset_ = 0;
            received_.clear();
        }
    }
    return true;
}

void TraceReplay::Differs(std::size_t at, const char* rest, std::size_t restLength) {
    const Command& c = commands_[next_];
    const std::string received = received_ + std::string(rest, restLength);
    difference_ = "command " + std::to_string(next_ + 1) + " of " +
                  std::to_string(commands_.size()) + " (line " + std::to_string(c.line) +
                  " of the trace) differs from the recording at offset " + std::to_string(at) +
                  "\n  recorded: " + Around(c.bytes, at) + "\n  received: " + Around(received, at);
}
