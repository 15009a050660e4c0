// Pseudo-terminal pairs and event-loop helpers for the serial tests.
//
// The component opens the slave side by its path, as it would open a real port;
// the test plays the phone on the master side. The fixture keeps its own slave
// descriptor open (without it the master reads EIO while the component is closed)
// and puts the line into raw mode before anything is written.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "serial/Comm32.h"

namespace orvo {

namespace serial_test {

constexpr int kWaitMs = 10000;

// Runs the event loop until `done` holds or `ms` have passed; returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done, int ms = kWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Runs the event loop until everything queued so far (on the main thread) has been
// delivered: a marker queued now runs after all of it.
inline void DrainEvents(QObject* context) {
    bool reached = false;
    QMetaObject::invokeMethod(
        context, [&reached] { reached = true; }, Qt::QueuedConnection);
    WaitUntil([&] { return reached; });
}

class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) {
            return;
        }
        path_ = name;
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (slave_ >= 0 && ::tcgetattr(slave_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(slave_, TCSANOW, &t);
        }
    }
    ~Pty() {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool Ok() const { return master_ >= 0 && slave_ >= 0; }
    const std::string& Path() const { return path_; }
    int Slave() const { return slave_; }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    // The phone sends: blocks until the line has taken every byte.
    bool Send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The phone receives exactly `count` bytes, or what arrived before `ms` passed.
    std::string Receive(std::size_t count, int ms = kWaitMs) const {
        std::string got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        char buf[4096];
        while (got.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) {
                break;
            }
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) {
                continue;
            }
            std::size_t want = std::min(sizeof buf, count - got.size());
            ssize_t n = ::read(master_, buf, want);
            if (n <= 0) {
                if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                    continue;
                }
                break;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

    // True when nothing reaches the phone within `ms`.
    bool SilentFor(int ms) const {
        pollfd p{master_, POLLIN, 0};
        return ::poll(&p, 1, ms) == 0;
    }

    // True once the line discipline holds input for the slave side.
    bool InputPending(int ms) const {
        pollfd p{slave_, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// What the owner of a component saw.
struct Owner {
    std::vector<std::string> blocks;
    std::vector<std::string> lineErrors;
    int hangups = 0;
    bool badTerminator = false;

    void Bind(TComm32& comm) {
        comm.OnReceiveData = [this, &comm](TComm32* sender, const uint8_t* buffer,
                                           uint16_t length) {
            if (sender != &comm || buffer[length] != 0) {
                badTerminator = true;
            }
            blocks.emplace_back(reinterpret_cast<const char*>(buffer), length);
        };
        comm.OnRequestHangup = [this](TComm32*) { ++hangups; };
        comm.OnLineError = [this](const std::string& report) { lineErrors.push_back(report); };
    }
    std::size_t Total() const {
        std::size_t n = 0;
        for (const auto& b : blocks) {
            n += b.size();
        }
        return n;
    }
    std::string All() const {
        std::string s;
        for (const auto& b : blocks) {
            s += b;
        }
        return s;
    }
};

// Bytes that show loss, duplication or reordering: a counter pattern that does not
// repeat with any period a block boundary could hide.
inline std::string Pattern(std::size_t size, uint32_t seed) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>((x >> 16) ^ static_cast<uint32_t>(i));
    }
    return s;
}

inline std::string EveryByteValue(int repeats) {
    std::string s;
    for (int r = 0; r < repeats; ++r) {
        for (int v = 0; v < 256; ++v) {
            s.push_back(static_cast<char>(v));
        }
    }
    return s;
}

}  // namespace serial_test

}  // namespace orvo
