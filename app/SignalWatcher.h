// The signals that end a program from outside (Ctrl+C, a kill, a closed terminal,
// a desktop logout), turned into a call on the event loop. The handler itself
// only passes the signal's number on (through a pipe); everything else runs in the
// event loop, where the program can end what it does as closing the window would.
//
// On Windows the console's Ctrl+C, Ctrl+Break and close events stand for SIGINT,
// SIGINT and SIGHUP.
#pragma once

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

#ifndef SIGHUP
#define SIGHUP 1  // Windows has none: the console's close event stands for it
#endif

class QSocketNotifier;

namespace orvo {

// "SIGINT", "SIGTERM", "SIGHUP", or "a signal".
const char* SignalName(int signo);

class SignalWatcher {
  public:
    // From now on each of the watched signals (SIGINT, SIGTERM, SIGHUP) calls onSignal with its
    // number on the event loop of the thread that made the watcher. One watcher at
    // a time; the signals' earlier handling comes back when it goes.
    SignalWatcher(const std::vector<int>& watched, std::function<void(int)> onSignal);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // The first signal that came and was not yet passed to onSignal (the event
    // loop did not run since), taken; 0 when none.
    int TakePending();

  private:
    void Deliver();

    std::vector<int> signals_;
    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvo
