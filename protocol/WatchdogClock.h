// The reply watchdog's clock as the protocol sees it. The engine runs the watchdog
// while a reply is awaited; whoever keeps time (an event-loop timer, or a test
// that drives the clock itself) calls the engine back when the interval passes.
#pragma once

namespace orvo {

class IWatchdogClock {
  public:
    virtual ~IWatchdogClock() = default;
    // The watchdog is now running with this interval (milliseconds), or stopped.
    // Switching it on, or changing the interval while it runs, starts the interval
    // again; a call that changes nothing leaves a running interval alone.
    virtual void Set(bool running, int intervalMs) = 0;
};

}  // namespace orvo
