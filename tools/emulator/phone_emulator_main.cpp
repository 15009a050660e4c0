// phone-emulator: serves the emulated phone on a pseudo-terminal.
//
// The first line on stdout is "PTY <slave path>"; everything else goes to stderr.
// The program using the port may close and reopen it at will: while nobody has the
// slave open the master reports a hang-up, and the emulator drops any transfer in
// progress and waits with a short back-off.
//
// With --save DIR the phone's files are written into DIR, in the layout --root reads,
// on SIGUSR1 (the emulator then prints "SAVED" on stdout and goes on serving) and
// when it is ended by SIGINT, SIGTERM or SIGHUP.
//
// With --replay FILE the phone's side comes from a trace of a real line instead:
// the computer's bytes are matched against the recorded ones command by command,
// and the phone's recorded bytes that followed each command are sent back after
// the recorded pauses. The first command that differs is reported on stderr and
// ends the emulator with status 1; when the computer closes the port after the
// last recorded command, the emulator ends with status 0.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
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
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/emulator/PhoneEmulator.h"
#include "tools/emulator/PhoneEmulatorReplay.h"

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

struct Options {
    bool sample = true;
    long baud = 0;
    std::string link;
    std::string transcript;
    std::string replay;
    std::size_t capacity = 0;
    std::string root;
    std::string save;
    long resetDelayMs = 0;
    EmulatorFaults faults;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: phone-emulator [options]\n"
                 "  --sample            load the sample content (default)\n"
                 "  --empty             start with no files\n"
                 "  --link PATH         make PATH a symbolic link to the port\n"
                 "  --baud N            send at most N/10 bytes per second, and take the\n"
                 "                      program's bytes in no faster\n"
                 "  --transcript FILE   log both directions to FILE\n"
                 "  --replay FILE       answer from a trace of a real line (orvo-cli or\n"
                 "                      orvo-fm --trace): report the first command that\n"
                 "                      differs from it and end with status 1, or end with\n"
                 "                      status 0 when the port closes after the last one\n"
                 "  --capacity BYTES    room for files (a larger write gets error 2007)\n"
                 "  --root DIR          also load files from DIR (its own files into the root,\n"
                 "                      java/, Sounds/My Sounds/, Images/OnOff-Menu Images/,\n"
                 "                      Images/My Photos/Camera/ ... into those folders);\n"
                 "                      changes stay in memory\n"
                 "  --save DIR          write the phone's files into DIR in the layout --root\n"
                 "                      reads, removing the files of those folders that the\n"
                 "                      phone no longer holds: on SIGUSR1 (then \"SAVED\" is\n"
                 "                      printed on stdout and serving goes on) and on exit by\n"
                 "                      SIGINT, SIGTERM or SIGHUP\n"
                 "  --silent            never answer\n"
                 "  --silent-after N    stop answering after N commands\n"
                 "  --echo              echo each command line\n"
                 "  --error-on PREFIX   answer commands starting with PREFIX with an error\n"
                 "  --error-code N      the error code for --error-on (default 4)\n"
                 "  --error-after N     let N such commands succeed first\n"
                 "  --split N           send replies in pieces of N bytes\n"
                 "  --corrupt-crc       announce wrong checksums when reading\n"
                 "  --reset-delay MS    answer each ATZ only MS milliseconds after it came\n"
                 "                      (later output waits behind it)\n"
                 "  --double-prompt     send every write prompt \"##>\" twice\n"
                 "  --stray-prompt      send a \"##>\" line before the OK of an erase or\n"
                 "                      change-folder\n"
                 "  --size-field [N]    from block N of each read on (default 1) give the\n"
                 "                      file's size in the second field of data lines,\n"
                 "                      not the block's length\n");
}

bool ParseLong(const char* text, long min, long& value) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min) {
        return false;
    }
    value = v;
    return true;
}

bool ParseArgs(int argc, char** argv, Options& o) {
    o.faults.errorCode = 4;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](const char*& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "phone-emulator: %s needs a value\n", a.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](long min, long& out) {
            const char* v = nullptr;
            if (!next(v)) {
                return false;
            }
            if (!ParseLong(v, min, out)) {
                std::fprintf(stderr, "phone-emulator: bad number for %s: %s\n", a.c_str(), v);
                return false;
            }
            return true;
        };
        const char* text = nullptr;
        long n = 0;
        if (a == "--sample") {
            o.sample = true;
        } else if (a == "--empty") {
            o.sample = false;
        } else if (a == "--silent") {
            o.faults.silent = true;
        } else if (a == "--echo") {
            o.faults.echo = true;
        } else if (a == "--corrupt-crc") {
            o.faults.corruptReadCrc = true;
        } else if (a == "--double-prompt") {
            o.faults.doublePrompt = true;
        } else if (a == "--stray-prompt") {
            o.faults.strayPrompt = true;
        } else if (a == "--size-field") {
            o.faults.sizeFieldFrom = 1;
            if (i + 1 < argc && ParseLong(argv[i + 1], 1, n)) {
                o.faults.sizeFieldFrom = static_cast<int>(n);
                ++i;
            }
        } else if (a == "--reset-delay") {
            if (!number(0, n)) {
                return false;
            }
            o.resetDelayMs = n;
        } else if (a == "--link") {
            if (!next(text)) {
                return false;
            }
            o.link = text;
        } else if (a == "--transcript") {
            if (!next(text)) {
                return false;
            }
            o.transcript = text;
        } else if (a == "--replay") {
            if (!next(text)) {
                return false;
            }
            o.replay = text;
        } else if (a == "--root") {
            if (!next(text)) {
                return false;
            }
            o.root = text;
        } else if (a == "--save") {
            if (!next(text)) {
                return false;
            }
            o.save = text;
        } else if (a == "--error-on") {
            if (!next(text)) {
                return false;
            }
            o.faults.errorCommand = text;
        } else if (a == "--baud") {
            if (!number(10, n)) {
                return false;
            }
            o.baud = n;
        } else if (a == "--capacity") {
            if (!number(0, n)) {
                return false;
            }
            o.capacity = static_cast<std::size_t>(n);
        } else if (a == "--silent-after") {
            if (!number(0, n)) {
                return false;
            }
            o.faults.silentAfterCommands = true;
            o.faults.silentAfter = static_cast<int>(n);
        } else if (a == "--error-code") {
            if (!number(0, n)) {
                return false;
            }
            o.faults.errorCode = static_cast<int>(n);
        } else if (a == "--error-after") {
            if (!number(0, n)) {
                return false;
            }
            o.faults.errorCountdown = static_cast<int>(n);
        } else if (a == "--split") {
            if (!number(1, n)) {
                return false;
            }
            o.faults.splitEvery = static_cast<std::size_t>(n);
        } else if (a == "--help" || a == "-h") {
            Usage();
            std::exit(0);
        } else {
            std::fprintf(stderr, "phone-emulator: unknown option %s\n", a.c_str());
            return false;
        }
    }
    return true;
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

// Where each folder code's files live under a --root or --save folder.
const std::pair<const char*, uint8_t> kFolders[] = {
    {"", ' '},
    {"java", '`'},
    {"Sounds/My Sounds", 'T'},
    {"Sounds/Default Sounds", 'C'},
    {"Sounds/Voice", 'Q'},
    {"Images/My Images", 'R'},
    {"Images/Animations", 'E'},
    {"Images/OnOff-Menu Images", 'D'},
    {"Images/My Photos/Camera", 'V'},
    {"Images/My Photos/My Album 1", 'Y'},
    {"Images/My Photos/My Album 2", '\\'},
};

// Loads the regular files of DIR's sub-folders named like the phone's folders.
bool LoadRoot(PhoneEmulator& phone, const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        std::fprintf(stderr, "phone-emulator: %s is not a folder\n", dir.c_str());
        return false;
    }
    for (const auto& [sub, code] : kFolders) {
        fs::path folder = fs::path(dir) / sub;
        if (!fs::is_directory(folder, ec)) {
            continue;
        }
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_regular_file(ec)) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::string data((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof()) {
                std::fprintf(stderr, "phone-emulator: cannot read %s\n", f.c_str());
                continue;
            }
            phone.PutFile(code, f.filename().string(), data);
        }
    }
    return true;
}

// A phone name that can be a file's name in a folder of the computer.
bool SavableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

// Writes the phone's files into DIR's sub-folders named like the phone's folders and
// removes the regular files there that the phone does not hold. Each file is written
// under a temporary name and then renamed, so a reader never sees half a file.
bool SaveFiles(const PhoneEmulator& phone, const std::string& dir) {
    namespace fs = std::filesystem;
    bool ok = true;
    for (const auto& [sub, code] : kFolders) {
        const fs::path folder = fs::path(dir) / sub;
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder, ec)) {
            std::fprintf(stderr, "phone-emulator: cannot make %s\n", folder.c_str());
            ok = false;
            continue;
        }
        std::vector<std::string> names = phone.FileNames(code);
        for (const std::string& name : names) {
            if (!SavableName(name)) {
                std::fprintf(stderr, "phone-emulator: not saved: \"%s\"\n", name.c_str());
                continue;
            }
            const fs::path target = folder / name;
            if (fs::is_directory(target, ec)) {
                std::fprintf(stderr, "phone-emulator: not saved over a folder: %s\n",
                             target.c_str());
                continue;
            }
            const fs::path temp = folder / (".phone-emulator-save." + std::to_string(getpid()));
            const std::string data = phone.FileData(code, name);
            {
                std::ofstream out(temp, std::ios::binary | std::ios::trunc);
                out.write(data.data(), static_cast<std::streamsize>(data.size()));
                out.close();
                if (!out) {
                    std::fprintf(stderr, "phone-emulator: cannot write %s\n", temp.c_str());
                    fs::remove(temp, ec);
                    ok = false;
                    continue;
                }
            }
            fs::rename(temp, target, ec);
            if (ec) {
                std::fprintf(stderr, "phone-emulator: cannot write %s: %s\n", target.c_str(),
                             ec.message().c_str());
                fs::remove(temp, ec);
                ok = false;
            }
        }
        // What the phone no longer holds goes.
        std::vector<fs::path> stale;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_regular_file(ec) &&
                std::find(names.begin(), names.end(), entry.path().filename().string()) ==
                    names.end()) {
                stale.push_back(entry.path());
            }
        }
        for (const fs::path& f : stale) {
            fs::remove(f, ec);
        }
    }
    return ok;
}

class Server {
  public:
    Server(int master, const Options& o, std::unique_ptr<TraceReplay> replay)
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

int main(int argc, char** argv) {
    Options options;
    if (!ParseArgs(argc, argv, options)) {
        Usage();
        return 2;
    }

    std::unique_ptr<TraceReplay> replay;
    if (!options.replay.empty()) {
        std::vector<TraceRecord> records;
        std::string error;
        // A folder or a pipe is no trace (reading a pipe could wait for ever).
        struct stat st {};
        if (stat(options.replay.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            std::fprintf(stderr, "phone-emulator: %s is not a trace file\n",
                         options.replay.c_str());
            return 2;
        }
        std::ifstream in(options.replay, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "phone-emulator: cannot read %s\n", options.replay.c_str());
            return 2;
        }
        if (!ParseTrace(in, records, error)) {
            std::fprintf(stderr, "phone-emulator: %s: %s\n", options.replay.c_str(), error.c_str());
            return 2;
        }
        replay = std::make_unique<TraceReplay>(records);
        std::fprintf(stderr, "phone-emulator: replaying %zu commands from %s\n", replay->Commands(),
                     options.replay.c_str());
    }

    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "phone-emulator: cannot make a pseudo-terminal: %s\n",
                     std::strerror(errno));
        return 1;
    }
    char path[256];
    if (ptsname_r(master, path, sizeof path) != 0) {
        std::fprintf(stderr, "phone-emulator: ptsname: %s\n", std::strerror(errno));
        return 1;
    }
    if (!MakeSlaveRaw(path)) {
        return 1;
    }
    int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);

    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "phone-emulator: pipe: %s\n", std::strerror(errno));
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    bool linked = false;
    if (!options.link.empty()) {
        struct stat st {};
        if (lstat(options.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(options.link.c_str());  // a link left by an earlier run
        }
        if (symlink(path, options.link.c_str()) != 0) {
            std::fprintf(stderr, "phone-emulator: cannot link %s: %s\n", options.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
        linked = true;
    }

    std::printf("PTY %s\n", path);
    std::fflush(stdout);
    std::fprintf(stderr, "phone-emulator: serving %s%s%s\n", path, linked ? " as " : "",
                 linked ? options.link.c_str() : "");

    int status = 0;
    {
        Server server(master, options, std::move(replay));
        status = server.Run();
    }

    if (linked) {
        char target[256];
        ssize_t n = readlink(options.link.c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = '\0';
            if (std::strcmp(target, path) == 0) {
                unlink(options.link.c_str());
            }
        }
    }
    close(master);
    return status;
}
