// The serial line over termios: opening a tty device exclusively, its line
// settings, its error counters, closing it.
#include "serial/TermiosLine.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "serial/Misc.h"

namespace orvo {

namespace {

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

}  // namespace

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

void CloseLine(int fd) {
    // Clear the exclusive mode so that the next opener (ours after a settings
    // change, for one) is not refused while another descriptor keeps the tty alive.
    (void)::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

}  // namespace orvo
