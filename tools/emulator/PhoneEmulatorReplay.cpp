#include "tools/emulator/PhoneEmulatorReplay.h"

#include <algorithm>

namespace {

// A window of a byte string around offset, as a literal.
std::string Around(const std::string& bytes, std::size_t offset) {
    constexpr std::size_t kSide = 40;
    const std::size_t from = offset > kSide ? offset - kSide : 0;
    const std::size_t to = std::min(bytes.size(), offset + kSide);
    return (from > 0 ? "..." : "") + std::string("\"") +
           EscapeTraceBytes(bytes.substr(from, to - from)) + "\"" +
           (to < bytes.size() ? "..." : "");
}

}  // namespace

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
