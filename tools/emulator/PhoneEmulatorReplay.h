// The phone's side of a recorded line: a trace that orvo-cli or the file manager
// wrote (--trace), read with the trace format of protocol/, and answered command
// by command. The computer's bytes are matched against the recorded ones; after each
// recorded command the phone's recorded bytes that followed it are sent back.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "protocol/TraceFormat.h"

// The emulator keeps its own code outside the project namespace.
using orvo::EscapeTraceBytes;
using orvo::ParseTrace;
using orvo::TraceRecord;

// The programs take a block of received bytes once the line has been quiet this
// long, so a recorded block's time is that much after the phone's last byte.
constexpr long long kTraceBlockWaitMicros = 25000;

class TraceReplay {
  public:
    struct Reply {
        // After the previous reply; the first reply of a command (or of the
        // opening), after the command less kTraceBlockWaitMicros.
        long long delayMicros = 0;
        std::string bytes;
    };

    explicit TraceReplay(const std::vector<TraceRecord>& records);

    // The phone's bytes recorded before the computer's first command.
    const std::vector<Reply>& Opening() const { return opening_; }

    // Takes the computer's bytes; appends the recorded replies of every command
    // they complete. False at the first byte that differs from the recording (or
    // beyond its end): Difference() then describes it and nothing more is taken.
    bool Receive(const char* data, std::size_t length, std::vector<Reply>& replies);

    bool Complete() const { return next_ == commands_.size(); }
    std::size_t Commands() const { return commands_.size(); }
    std::size_t Matched() const { return next_; }
    const std::string& Difference() const { return difference_; }

  private:
    struct Command {
        std::string bytes;
        int line = 0;
        std::vector<Reply> replies;
    };
    void Differs(std::size_t at, const char* rest, std::size_t restLength);

    std::vector<Reply> opening_;
    std::vector<Command> commands_;
    std::size_t next_ = 0;    // the command being received
    std::size_t offset_ = 0;  // its bytes received so far
    std::string received_;    // the same bytes, for the report
    std::string difference_;
};
