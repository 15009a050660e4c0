// Connects a session to an in-process phone emulator. The host's writes reach the
// emulator at once; the phone's output is queued and delivered to the receive
// handler by Pump(), chunk by chunk, as the serial component would.
#pragma once

#include <deque>
#include <string>

#include "tests/support/Fakes.h"
#include "tools/emulator/PhoneEmulator.h"

namespace orvo {

class EmulatorLink : public IPort {
  public:
    explicit EmulatorLink(Session& s);
    bool Write(const void* data, uint16_t length) override;
    void Close() override { ++closeCount; }
    // Hands the phone's bytes over as they come, whatever the framing.
    bool SetReplyFraming(ReplyFraming) override { return false; }

    // Delivers queued chunks until none is left (or maxChunks were delivered).
    // Returns the number delivered.
    int Pump(int maxChunks = 1000000);
    bool Quiet() const { return pending.empty(); }

    PhoneEmulator phone;
    std::deque<std::string> pending;
    std::string sent;  // every byte the host wrote
    int closeCount = 0;

  private:
    Session& s_;
};

// A rig whose port is an emulator link.
struct EmulatorRig {
    EmulatorRig();
    Session s;
    EmulatorLink link{s};
    FakeUi ui;
    FakePhonePane pane;
    FakeComputerPane source;
    PhoneEmulator& phone() { return link.phone; }
};

}  // namespace orvo
