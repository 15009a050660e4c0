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

#include "engine/Session.h"
#include "serial/Comm32.h"

class PhoneLink : public IWatchdogClock {
  public:
    // Binds to the session: s.Port becomes the serial component. The session's
    // other seams are the caller's.
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
    void Guarded(const std::function<void()>& handler);
    void CheckDone();

    Session& s_;
    std::unique_ptr<TComm32> comm_;
    QTimer watchdog_;
    bool running_ = false;
    int interval_ = 0;
    std::function<void()> quitWait_;
};
