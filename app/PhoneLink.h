// The link between a Session and the event loop: the serial component that
// carries the phone's line, the watchdog timer, opening the port, waking the
// phone, and running an operation until the session is idle again.
//
// Both front ends drive the core through it. It wires itself: it keeps the
// session's watchdog clock, received blocks go to ReceiveChunk, the
// watchdog's expiry to WatchdogExpired, a hang-up to ConnectionLost. An exception
// from the core while handling one of them is shown as the form shows it: a
// message box with the caption "Ошибка".
#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/LineTrace.h"
#include "engine/Session.h"
#include "serial/Comm32.h"

namespace orvo {

class PhoneLink : public IWatchdogClock {
  public:
    // Binds to the session: s.Port becomes the serial component (through the
    // line trace's recorder). The session's other seams are the caller's.
    explicit PhoneLink(Session& s);
    ~PhoneLink();
    PhoneLink(const PhoneLink&) = delete;
    PhoneLink& operator=(const PhoneLink&) = delete;

    TComm32& Comm() { return *comm_; }
    QTimer& Watchdog() { return watchdog_; }
    bool IsOpen() const { return comm_->IsOpen(); }

    // Opens port at baud (8 data bits, one stop bit). On failure the component is
    // left closed and reason says why when the system told (one line, else empty).
    bool Open(const std::string& port, uint32_t baud, std::string& reason);
    void Close();

    // A trace of the line: from now on every byte both ways is appended to path,
    // a header (program, port, speed) at each opening of the port and at once when
    // the port is open. False, with the reason in error, when the file cannot be
    // written; the previous trace (if any) has ended either way.
    bool StartTrace(const std::string& path, const std::string& program, std::string& error);
    // Ends the trace, its last records written. False when a write of it failed
    // (now or earlier): TraceError() says why.
    bool StopTrace();
    bool Tracing() const { return trace_.IsOpen(); }
    const std::string& TracePath() const { return trace_.Path(); }
    // Why the trace stopped at a write that failed; empty while it is whole.
    const std::string& TraceError() const { return trace_.Error(); }
    // Called once when a write of the trace fails (the trace has ended), with the reason.
    void OnTraceFailed(std::function<void(const std::string&)> handler) {
        trace_.onFailed = std::move(handler);
    }

    // Ends whatever runs, as closing the window does: the watchdog stops, the port
    // closes (nothing more arrives), a partial download is removed, a rename broken
    // off after its erase keeps its bytes under the file's own name in the rescue
    // folder (its message says where), and the trace's records reach the file. A
    // wait in RunAndWait returns, and later ones return at once.
    void Abandon();
    bool Abandoned() const { return abandoned_; }

    // The session's watchdog clock: an event-loop timer.
    void Set(bool running, int intervalMs) override;

    // The session has nothing outstanding: no reply awaited, the window would be
    // usable and no progress shown.
    bool SessionIdle() const;

    // Wakes the phone and waits for the caching pass to end; true when the phone's
    // root folder is in the session afterwards and the line is still open.
    bool WakePhone(int timeoutMs = 120000);

    // Runs op (a starter of the file operations) and keeps the event loop running
    // until the session is idle again or the line is gone. False when timeoutMs
    // passed first (the watchdog normally ends a silent operation well before).
    bool RunAndWait(const std::function<void()>& op, int timeoutMs = 600000);

  private:
    // What the session writes to: the serial component, each queued request
    // recorded in the trace.
    class TracedPort : public IPort {
      public:
        explicit TracedPort(PhoneLink& link) : link_(link) {}
        bool Write(const void* data, uint16_t length) override;
        void Close() override;
        bool SetReplyFraming(ReplyFraming framing) override;

      private:
        PhoneLink& link_;
    };

    void TraceHeader();
    void TraceClosed();
    void Guarded(const std::function<void()>& handler);
    void CheckDone();

    Session& s_;
    std::unique_ptr<TComm32> comm_;
    LineTrace trace_;
    std::string traceProgram_;
    TracedPort port_{*this};
    QTimer watchdog_;
    bool running_ = false;
    bool abandoned_ = false;
    int interval_ = 0;
    std::function<void()> quitWait_;
};

}  // namespace orvo
