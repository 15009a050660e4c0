// The serial line on Linux: a tty device opened exclusively, set with termios,
// waited on with poll() beside an eventfd that asks the threads to stop.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "serial/Misc.h"
#include "serial/SystemLine.h"

namespace orvo {

namespace serial_system {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWaitTimeoutResult = 258;  // the wait result logged for a write time-out

const char kInvalidHandleText[] =
    "ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.";

// Milliseconds left until `deadline`, rounded up so that a poll never wakes early.
int MillisecondsUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
}

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

bool SpeedFor(uint32_t baud, speed_t& speed) {
    struct Entry {
        uint32_t baud;
        speed_t speed;
    };
    static const Entry kSpeeds[] = {
        {1200, B1200},       {2400, B2400},       {4800, B4800},       {9600, B9600},
        {19200, B19200},     {38400, B38400},     {57600, B57600},     {115200, B115200},
        {230400, B230400},   {460800, B460800},   {921600, B921600},   {1000000, B1000000},
        {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
    };
    for (const Entry& e : kSpeeds) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

void LogOpenFailure(const std::string& port, int err) {
    std::string prefix = "Unable to open " + port + ": ";
    LogSystemError(err, prefix.c_str());
    if (err == EACCES) {
        CommLog("Not allowed to use " + port +
                ": add the user to the dialout group (sudo usermod -a -G dialout $USER) "
                "and log in again");
    } else if (err == EBUSY) {
        CommLog(port + " is held exclusively by another program");
    }
}

bool ReadLineErrorCounters(int fd, LineErrorCounters& out) {
    serial_icounter_struct ic{};
    if (::ioctl(fd, TIOCGICOUNT, &ic) != 0) {
        return false;
    }
    out.frame = static_cast<uint32_t>(ic.frame);
    out.overrun = static_cast<uint64_t>(static_cast<uint32_t>(ic.overrun)) +
                  static_cast<uint32_t>(ic.buf_overrun);
    out.parity = static_cast<uint32_t>(ic.parity);
    out.brk = static_cast<uint32_t>(ic.brk);
    return true;
}

// Raw 8N1 without flow control. The tty layer keeps settings between opens, so
// everything that matters is set explicitly. HUPCL is cleared: the port is closed
// and reopened after every settings change, and dropping DTR there could reset a
// phone in the middle of a session.
void ConfigureLine(int fd, uint32_t baudRate, uint32_t bits) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        LogSystemError(errno, "GetCommState: ");
        return;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | CRTSCTS | HUPCL | PARENB);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    switch (bits & 0xFF) {
        case 5:
            t.c_cflag = (t.c_cflag & ~CSIZE) | CS5;
            break;
        case 6:
            t.c_cflag = (t.c_cflag & ~CSIZE) | CS6;
            break;
        case 7:
            t.c_cflag = (t.c_cflag & ~CSIZE) | CS7;
            break;
        default:  // 8, and any value the line cannot take
            t.c_cflag = (t.c_cflag & ~CSIZE) | CS8;
            break;
    }
    t.c_cc[VMIN] = 0;  // waiting is done with poll()
    t.c_cc[VTIME] = 0;
    speed_t speed;
    if (SpeedFor(baudRate, speed)) {
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
    }
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        LogSystemError(errno, "SetCommState: ");
    }
    // tcsetattr reports success when any part was taken: read the settings back.
    termios back{};
    if (::tcgetattr(fd, &back) == 0) {
        const tcflag_t cflagMask = CSIZE | CSTOPB | PARENB | CRTSCTS | CLOCAL | CREAD;
        if ((back.c_cflag & cflagMask) != (t.c_cflag & cflagMask) ||
            (back.c_lflag & (ICANON | ECHO | ISIG)) != 0 || (back.c_oflag & OPOST) != 0 ||
            (back.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP)) != 0 ||
            ::cfgetospeed(&back) != ::cfgetospeed(&t)) {
            CommLog("SetCommState: the port did not take every line setting");
        }
    }
}

void CloseLine(int fd) {
    // Clear the exclusive mode so that the next opener (ours after a settings
    // change, for one) is not refused while another descriptor keeps the tty alive.
    (void)::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

int OpenLine(const std::string& path, uint32_t baudRate, uint32_t bits) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        LogOpenFailure(path, err);
        throw ECommsError("Ошибка открытия порта", err);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
        ::close(fd);
        CommLog(path + " is not a serial device");
        throw ECommsError("Неверный указатель. ", ENOTTY);
    }
    // The lock tells us (and the port probe) that another program holds the port;
    // the exclusive mode keeps others from opening it while we do.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            CommLog(path + " is locked by another program");
        } else {
            LogOpenFailure(path, err);
        }
        throw ECommsError("Ошибка открытия порта", err == EWOULDBLOCK ? EBUSY : err);
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != EINVAL && errno != ENOTTY) {
        LogSystemError(errno, "TIOCEXCL: ");
    }
    ConfigureLine(fd, baudRate, bits);
    return fd;
}

}  // namespace

struct Line::Native {
    int fd = -1;
};

// ---------------------------------------------------------------------------
// Events

Event::Event() {
    handle_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (handle_ < 0) {
        error_ = errno;
    }
}

Event::~Event() {
    if (handle_ >= 0) {
        ::close(Fd(handle_));
    }
}

bool Event::Valid() const {
    return handle_ >= 0;
}

void Event::Set() {
    uint64_t one = 1;
    (void)!::write(Fd(handle_), &one, sizeof one);
}

void Event::Clear() {
    uint64_t value;
    (void)!::read(Fd(handle_), &value, sizeof value);
}

bool Event::IsSet() const {
    pollfd p{Fd(handle_), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

int Event::WaitEither(const Event& a, const Event& b, int ms) {
    for (;;) {
        pollfd fds[2] = {{Fd(a.handle_), POLLIN, 0}, {Fd(b.handle_), POLLIN, 0}};
        int r = ::poll(fds, 2, ms);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -2;
        }
        if (r == 0) {
            return -1;
        }
        return fds[0].revents != 0 ? 0 : 1;
    }
}

// ---------------------------------------------------------------------------
// The line

Line::Line(std::unique_ptr<Native> native) : native_(std::move(native)) {}

Line::~Line() {
    CloseLine(native_->fd);
}

std::unique_ptr<Line> Line::Open(const std::string& path, uint32_t baudRate, uint32_t bits) {
    auto native = std::make_unique<Native>();
    native->fd = OpenLine(path, baudRate, bits);
    return std::unique_ptr<Line>(new Line(std::move(native)));
}

Line::ReadResult Line::Read(uint8_t* buffer, std::size_t capacity, int ms, const Event& stop) {
    const int port = native_->fd;
    ReadResult result;
    pollfd fds[2] = {{Fd(stop.handle_), POLLIN, 0}, {port, POLLIN, 0}};
    int r = ::poll(fds, 2, ms);
    if (r < 0) {
        if (errno == EINTR) {
            return result;  // Timeout: the caller works out its time and waits again
        }
        LogSystemError(errno, "Read WAIT_FAILED: ");
        result.status = ReadStatus::Failed;
        return result;
    }
    if (fds[0].revents != 0) {
        result.status = ReadStatus::Stop;
        return result;
    }
    if (r == 0) {
        return result;
    }
    const short ev = fds[1].revents;
    if (ev & POLLNVAL) {
        CommLog(kInvalidHandleText);
        result.status = ReadStatus::Failed;
        return result;
    }
    if ((ev & (POLLIN | POLLHUP | POLLERR)) == 0) {
        return result;
    }
    ssize_t got = ::read(port, buffer, capacity);
    if (got > 0) {
        result.status = ReadStatus::Data;
        result.count = static_cast<std::size_t>(got);
        return result;
    }
    const int err = got < 0 ? errno : 0;
    const bool gone = (ev & (POLLHUP | POLLERR)) != 0;
    if (got < 0 && (err == EINTR || err == EAGAIN) && !gone) {
        return result;
    }
    // The device is gone (unplugged, or the far side of the line closed).
    result.status = ReadStatus::Lost;
    if (got == 0 || err == EINTR || err == EAGAIN) {
        result.failure = "Unable to HandleReadEvent: the device reported a hang-up";
    } else {
        result.failure = SystemErrorLine(err, "Unexpected ReadFile error: ");
    }
    return result;
}

Line::WriteStatus Line::Write(const uint8_t* data, std::size_t count, int ms, const Event& stop) {
    const int port = native_->fd;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::size_t position = 0;
    while (position < count) {
        ssize_t n = ::write(port, data + position, count - position);
        if (n > 0) {
            position += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            int err = errno;
            if (err == EBADF) {
                CommLog(kInvalidHandleText);
                return WriteStatus::Stopped;
            }
            LogSystemError(err, "Error to writing to CommFile");
            CommLog("Closing TAPI");
            return WriteStatus::Failed;
        }
        // The driver's buffer is full: wait for room, for the stop event, or for
        // the deadline of this request.
        for (;;) {
            int timeout = MillisecondsUntil(deadline);
            pollfd fds[2] = {{Fd(stop.handle_), POLLIN, 0}, {port, POLLOUT, 0}};
            int r = timeout > 0 ? ::poll(fds, 2, timeout) : 0;
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                LogSystemError(errno, "Write WAIT_FAILED: ");
                return WriteStatus::Failed;
            }
            if (r > 0 && fds[0].revents != 0) {
                return WriteStatus::Stopped;  // Close is stopping us: no hang-up request
            }
            if (r == 0) {
                CommLog("Unexpected Wait return value " + std::to_string(kWaitTimeoutResult));
                // Drop what the driver still holds, or closing the port could block.
                (void)::tcflush(port, TCOFLUSH);
                return WriteStatus::Failed;
            }
            const short ev = fds[1].revents;
            if (ev & POLLNVAL) {
                CommLog(kInvalidHandleText);
                return WriteStatus::Stopped;
            }
            if ((ev & (POLLERR | POLLHUP)) != 0 && (ev & POLLOUT) == 0) {
                LogSystemError(EIO, "Error writing to CommFile while waiting");
                CommLog("Closing TAPI");
                return WriteStatus::Failed;
            }
            break;  // room, or an error that the next write() reports
        }
    }
    return WriteStatus::Done;
}

void Line::Purge(bool input, bool output) {
    if (input && output) {
        (void)::tcflush(native_->fd, TCIOFLUSH);
    } else if (input) {
        (void)::tcflush(native_->fd, TCIFLUSH);
    } else if (output) {
        (void)::tcflush(native_->fd, TCOFLUSH);
    }
}

CountersState Line::ReadErrorCounters(LineErrorCounters& out) {
    if (ReadLineErrorCounters(native_->fd, out)) {
        return CountersState::Counted;
    }
    const int err = errno;
    if (err != EINVAL && err != ENOTTY) {
        LogSystemError(err, "ClearCommError: ");
        return CountersState::Failed;
    }
    return CountersState::NotKept;
}

// ---------------------------------------------------------------------------
// Threads, the log file, error texts

void RaiseThreadPriority(int steps) {
    pid_t tid = ::gettid();
    errno = 0;
    int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (current == -1 && errno != 0) {
        return;
    }
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), current - steps);
}

int OpenLogFile(const std::string& name, bool truncate, int& error) {
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    int fd = ::open(name.c_str(), flags, 0644);
    error = fd < 0 ? errno : 0;
    return fd;
}

bool WriteLogLine(int file, const std::string& line) {
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(file, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void CloseLogFile(int file) {
    ::close(file);
}

std::string ErrnoText(int code) {
    const char* text = ::strerrordesc_np(code);
    return text != nullptr ? text : std::string();
}

}  // namespace serial_system

}  // namespace orvo
