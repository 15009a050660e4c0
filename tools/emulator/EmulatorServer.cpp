#include "tools/emulator/EmulatorServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/emulator/EmulatorFolders.h"

namespace {

using Clock = std::chrono::steady_clock;

int g_signalPipe[2] = {-1, -1};

// The handler passes the signal's number through the pipe to the main loop.
void OnSignal(int signo) {
    int saved = errno;
    char b = static_cast<char>(signo);
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &b, 1);
    errno = saved;
}

// Makes the slave side raw once; the setting stays with the pseudo-terminal while the
// master is open, across the other program's opens and closes.
bool MakeSlaveRaw(const char* path) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "phone-emulator: open %s: %s\n", path, std::strerror(errno));
        return false;
    }
    termios t{};
    bool ok = tcgetattr(fd, &t) == 0;
    if (ok) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~(CSTOPB | CRTSCTS);
        t.c_iflag &= ~(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ok = tcsetattr(fd, TCSANOW, &t) == 0;
    }
    if (!ok) {
        std::fprintf(stderr, "phone-emulator: raw mode on %s: %s\n", path, std::strerror(errno));
    }
    close(fd);
    return ok;
}

class Server {
  public:
    Server(int master, const EmulatorOptions& o, std::unique_ptr<TraceReplay> replay)
        : master_(master),
          replay_(std::move(replay)),
          bytesPerSecond_(o.baud / 10.0),
          saveDir_(o.save),
          resetDelay_(std::chrono::milliseconds(o.resetDelayMs)) {
        phone_.Faults = o.faults;
        if (o.capacity) {
            phone_.Capacity = o.capacity;
        }
        if (o.sample) {
            phone_.LoadSampleContent();
        }
        if (!o.root.empty()) {
            LoadRoot(phone_, o.root);
        }
        phone_.Output = [this](const std::string& chunk) { Emit(chunk); };
        if (!o.transcript.empty()) {
            log_ = std::fopen(o.transcript.c_str(), "a");
            if (!log_) {
                std::fprintf(stderr, "phone-emulator: cannot open %s: %s\n", o.transcript.c_str(),
                             std::strerror(errno));
            }
        }
        start_ = Clock::now();
        lastRefill_ = start_;
        lastInRefill_ = start_;
    }
    ~Server() {
        if (log_) {
            std::fclose(log_);
        }
    }

    // Runs until a termination signal. Returns the exit status.
    int Run() {
        constexpr int kHangupBackoffMs = 100;
        constexpr auto kWriteStall = std::chrono::seconds(15);
        for (;;) {
            if (finished_) {
                return status_;
            }
            pollfd fds[2] = {{g_signalPipe[0], POLLIN, 0}, {master_, 0, 0}};
            int timeout = -1;     // milliseconds
            long timeoutUs = -1;  // microseconds, for the line's pacing
            nfds_t count = 2;
            if (hungUp_) {
                // Nobody has the port open: the master would report the hang-up at
                // once, so look again after a pause.
                count = 1;
                timeout = kHangupBackoffMs;
            } else {
                fds[1].events = POLLIN;
                ReleaseHeld();
                if (!held_.empty()) {
                    timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(
                                                   held_.front().first - Clock::now())
                                                   .count());
                    timeout = std::max(timeout, 1);
                }
                if (!in_.empty()) {
                    long wait = PacingDelayUs(in_, inCredit_, lastInRefill_);
                    timeoutUs = timeoutUs < 0 ? wait : std::min(timeoutUs, wait);
                }
                if (!out_.empty()) {
                    long wait = PacingDelayUs(out_, credit_, lastRefill_);
                    if (wait == 0) {
                        fds[1].events |= POLLOUT;
                    } else {
                        timeoutUs = timeoutUs < 0 ? wait : std::min(timeoutUs, wait);
                    }
                }
                if (phone_.AwaitingWriteData()) {
                    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    lastInput_ + kWriteStall - Clock::now())
                                    .count();
                    int stall = static_cast<int>(std::max<long long>(left, 0) + 1);
                    timeout = timeout < 0 ? stall : std::min(timeout, stall);
                }
            }
            // The line's pacing needs finer steps than milliseconds.
            if (timeoutUs >= 0 && (timeout < 0 || timeoutUs < timeout * 1000L)) {
                timeout = -1;
            } else {
                timeoutUs = -1;
            }
            timespec ts{};
            if (timeoutUs >= 0) {
                ts.tv_sec = timeoutUs / 1000000;
                ts.tv_nsec = (timeoutUs % 1000000) * 1000;
            } else if (timeout >= 0) {
                ts.tv_sec = timeout / 1000;
                ts.tv_nsec = (timeout % 1000) * 1000000L;
            }
            int r = ppoll(fds, count, timeout < 0 && timeoutUs < 0 ? nullptr : &ts, nullptr);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                std::fprintf(stderr, "phone-emulator: poll: %s\n", std::strerror(errno));
                return 1;
            }
            if (fds[0].revents && TakeSignals()) {
                Save();
                return replay_ ? ReplayEnded() : 0;
            }
            if (hungUp_) {
                CheckReconnected();
                continue;
            }
            if (fds[1].revents & POLLIN) {
                ReadInput();
            } else if (fds[1].revents & (POLLHUP | POLLERR)) {
                HangUp();
            }
            if (!hungUp_) {
                DeliverInput();
            }
            if (!hungUp_ && (fds[1].revents & POLLOUT)) {
                WriteOutput();
            }
            if (phone_.AwaitingWriteData() && Clock::now() - lastInput_ >= kWriteStall) {
                std::fprintf(stderr, "phone-emulator: write data stalled, dropping the write\n");
                phone_.AbortTransfer();
            }
        }
    }

  private:
    // Handles the signals that arrived; true when one of them ends the emulator.
    bool TakeSignals() {
        bool end = false;
        char sig[16];
        ssize_t n;
        while ((n = read(g_signalPipe[0], sig, sizeof sig)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (sig[i] == SIGUSR1) {
                    Save();
                    std::printf("SAVED\n");
                    std::fflush(stdout);
                } else {
                    end = true;
                }
            }
        }
        return end;
    }

    void Save() {
        if (!saveDir_.empty() && !SaveFiles(phone_, saveDir_)) {
            std::fprintf(stderr, "phone-emulator: saving into %s failed\n", saveDir_.c_str());
        }
    }

    void CheckReconnected() {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR))) {
            hungUp_ = false;
            std::fprintf(stderr, "phone-emulator: port opened\n");
            Note("port opened");
            if (replay_ && !openingSent_) {
                openingSent_ = true;
                Schedule(replay_->Opening());
            }
        } else if (p.revents & POLLIN) {
            // Bytes written just before a close: read them away with the hang-up.
            char buf[4096];
            while (read(master_, buf, sizeof buf) > 0) {
            }
        }
    }

    // The phone's output goes out in order; an answer to a reset (and whatever
    // follows it) waits until the reset delay has passed.
    void Emit(const std::string& chunk) {
        const bool reset = !phone_.Commands.empty() && phone_.Commands.back() == "ATZ";
        if (resetDelay_.count() > 0 && (reset || !held_.empty())) {
            Clock::time_point at = reset ? Clock::now() + resetDelay_ : held_.back().first;
            if (!held_.empty())
                at = std::max(at, held_.back().first);
            held_.emplace_back(at, chunk);
            return;
        }
        Queue(out_, chunk, credit_, lastRefill_);
    }

    void ReleaseHeld() {
        while (!held_.empty() && held_.front().first <= Clock::now()) {
            Queue(out_, held_.front().second, credit_, lastRefill_);
            held_.pop_front();
        }
    }

    void HangUp() {
        // Whatever was meant for the program that went away is dropped.
        phone_.AbortTransfer();
        out_.clear();
        in_.clear();
        held_.clear();
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR))) {
            return;  // already opened again
        }
        if (!hungUp_) {
            std::fprintf(stderr, "phone-emulator: port closed\n");
            Note("port closed");
            if (replay_ && replay_->Complete()) {
                std::fprintf(stderr, "phone-emulator: replay complete: %zu commands as recorded\n",
                             replay_->Commands());
                finished_ = true;
                status_ = 0;
            } else if (replay_) {
                // The recording may hold several runs: the next opening goes on.
                std::fprintf(stderr, "phone-emulator: replay: %zu of %zu commands so far\n",
                             replay_->Matched(), replay_->Commands());
            }
        }
        hungUp_ = true;
        // Bytes still queued towards the slave would reach the next opener.
        tcflush(master_, TCOFLUSH);
    }

    void ReadInput() {
        char buf[4096];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0 && replay_) {
            Replay(buf, static_cast<std::size_t>(n));
        } else if (n > 0) {
            lastInput_ = Clock::now();
            Queue(in_, std::string(buf, static_cast<std::size_t>(n)), inCredit_, lastInRefill_);
            DeliverInput();
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            HangUp();
        }
    }

    // The computer's bytes against the recording; the replies of each command it
    // completes go out after their recorded pauses.
    void Replay(const char* data, std::size_t length) {
        phone_.Transcript.emplace_back('H', std::string(data, length));
        std::vector<TraceReplay::Reply> replies;
        const bool same = replay_->Receive(data, length, replies);
        Schedule(replies);
        Drain();
        if (!same) {
            std::fprintf(stderr, "phone-emulator: replay: %s\n", replay_->Difference().c_str());
            finished_ = true;
            status_ = 1;
        }
    }

    void Schedule(const std::vector<TraceReplay::Reply>& replies) {
        Clock::time_point at = Clock::now();
        for (const TraceReplay::Reply& r : replies) {
            at += std::chrono::microseconds(r.delayMicros);
            if (!held_.empty()) {
                at = std::max(at, held_.back().first);
            }
            held_.emplace_back(at, r.bytes);
            phone_.Transcript.emplace_back('P', r.bytes);
        }
    }

    // Ended by a signal: whether the recording was played to its end.
    int ReplayEnded() {
        if (replay_->Complete()) {
            return 0;
        }
        std::fprintf(stderr, "phone-emulator: replay: ended after %zu of %zu recorded commands\n",
                     replay_->Matched(), replay_->Commands());
        return 1;
    }

    void Note(const char* text) {
        if (log_) {
            double t = std::chrono::duration<double>(Clock::now() - start_).count();
            std::fprintf(log_, "%10.3f - %s\n", t, text);
            std::fflush(log_);
        }
    }

    // Writes the transcript and forgets what the library kept.
    void Drain() {
        if (log_) {
            double t = std::chrono::duration<double>(Clock::now() - start_).count();
            for (const auto& [dir, bytes] : phone_.Transcript) {
                std::fprintf(log_, "%10.3f %c %5zu \"%s\"\n", t, dir, bytes.size(),
                             EscapeTraceBytes(bytes).c_str());
            }
            std::fflush(log_);
        }
        phone_.Transcript.clear();
        phone_.Commands.clear();
    }

    // Bytes for one direction of the line. A line that was idle saves no time up:
    // the first bytes after a pause take their own time on the wire, as later ones do.
    void Queue(std::string& queue, const std::string& bytes, double& credit,
               Clock::time_point& last) {
        if (queue.empty()) {
            credit = 0;
            last = Clock::now();
        }
        queue += bytes;
    }

    // The program's bytes reach the phone no faster than the line carries them: the
    // line is paced both ways, each direction with its own credit.
    void DeliverInput() {
        std::size_t allowed = in_.size();
        if (allowed == 0) {
            return;
        }
        if (bytesPerSecond_ > 0) {
            Refill(inCredit_, lastInRefill_);
            allowed = std::min(allowed, static_cast<std::size_t>(inCredit_));
            if (allowed == 0) {
                return;
            }
            inCredit_ -= static_cast<double>(allowed);
        }
        const std::string piece = in_.substr(0, allowed);
        in_.erase(0, allowed);
        phone_.Receive(piece.data(), piece.size());
        Drain();
    }

    // 0 when bytes of `queue` may go now, otherwise the microseconds until a slice
    // may. Bytes go in slices of about 10 ms, so a slow line does not mean a wake-up
    // per byte.
    long PacingDelayUs(const std::string& queue, double& credit, Clock::time_point& last) {
        if (bytesPerSecond_ <= 0) {
            return 0;
        }
        Refill(credit, last);
        double need = std::min(static_cast<double>(queue.size()), SliceBytes());
        if (credit >= need) {
            return 0;
        }
        double us = (need - credit) * 1e6 / bytesPerSecond_;
        return std::max(1L, static_cast<long>(us + 0.999));
    }

    double SliceBytes() const { return std::max(1.0, std::floor(bytesPerSecond_ / 100.0)); }

    void Refill(double& credit, Clock::time_point& last) {
        auto now = Clock::now();
        credit += std::chrono::duration<double>(now - last).count() * bytesPerSecond_;
        last = now;
        credit = std::min(credit, SliceBytes());  // at most one slice ahead after a pause
    }

    void WriteOutput() {
        std::size_t allowed = out_.size();
        if (bytesPerSecond_ > 0) {
            Refill(credit_, lastRefill_);
            allowed = std::min(allowed, static_cast<std::size_t>(credit_));
            if (allowed == 0) {
                return;
            }
        }
        ssize_t n = write(master_, out_.data(), allowed);
        if (n > 0) {
            out_.erase(0, static_cast<std::size_t>(n));
            if (bytesPerSecond_ > 0) {
                credit_ -= static_cast<double>(n);
            }
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            HangUp();
        }
    }

    int master_;
    std::unique_ptr<TraceReplay> replay_;
    bool openingSent_ = false;
    bool finished_ = false;
    int status_ = 0;
    double bytesPerSecond_;
    std::string saveDir_;
    PhoneEmulator phone_;
    std::string out_;
    std::chrono::milliseconds resetDelay_;
    std::deque<std::pair<Clock::time_point, std::string>> held_;
    std::FILE* log_ = nullptr;
    bool hungUp_ = true;  // nobody has opened the port yet
    double credit_ = 0;
    std::string in_;  // the program's bytes on their way to the phone
    double inCredit_ = 0;
    Clock::time_point start_;
    Clock::time_point lastRefill_;
    Clock::time_point lastInRefill_;
    Clock::time_point lastInput_;
};

}  // namespace

int OpenPort(std::string& slavePath) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "phone-emulator: cannot make a pseudo-terminal: %s\n",
                     std::strerror(errno));
        return -1;
    }
    char path[256];
    if (ptsname_r(master, path, sizeof path) != 0) {
        std::fprintf(stderr, "phone-emulator: ptsname: %s\n", std::strerror(errno));
        close(master);
        return -1;
    }
    if (!MakeSlaveRaw(path)) {
        close(master);
        return -1;
    }
    int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    slavePath = path;
    return master;
}

bool CatchSignals() {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "phone-emulator: pipe: %s\n", std::strerror(errno));
        return false;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

int Serve(int master, const EmulatorOptions& options, std::unique_ptr<TraceReplay> replay) {
    Server server(master, options, std::move(replay));
    return server.Run();
}
