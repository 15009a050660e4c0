#include "serial/Misc.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <QLoggingCategory>
#include <cerrno>
#include <ios>
#include <mutex>
#include <new>
#include <system_error>

namespace orvo {

namespace {

Q_LOGGING_CATEGORY(lcSerial, "orvo.serial", QtInfoMsg)

constexpr std::size_t kMaxLogLine = 1024;

// One lock for the name, the open file and every line written.
std::mutex& LogMutex() {
    static std::mutex m;
    return m;
}
std::string& LogName() {
    static std::string name;
    return name;
}
int gLogFd = -1;

bool WriteWhole(int fd, const std::string& line) {
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
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

}  // namespace

void SetCommLogName(const std::string& name) {
    std::lock_guard<std::mutex> lock(LogMutex());
    LogName() = name;
}

std::string CommLogName() {
    std::lock_guard<std::mutex> lock(LogMutex());
    return LogName();
}

void OpenCommLog() {
    std::lock_guard<std::mutex> lock(LogMutex());
    if (LogName().empty()) {
        return;
    }
    if (gLogFd >= 0) {
        ::close(gLogFd);
        gLogFd = -1;
    }
    int fd = ::open(LogName().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        int err = errno;
        throw std::ios_base::failure("Cannot create the diagnostic log " + LogName(),
                                     std::error_code(err, std::generic_category()));
    }
    gLogFd = fd;
}

void CloseCommLog() {
    std::lock_guard<std::mutex> lock(LogMutex());
    if (gLogFd >= 0) {
        ::close(gLogFd);
        gLogFd = -1;
    }
}

void CommLog(const std::string& text) {
    try {
        std::lock_guard<std::mutex> lock(LogMutex());
        if (LogName().empty()) {
            return;
        }
        std::string line = text;
        line += '\n';
        if (gLogFd >= 0) {
            WriteWhole(gLogFd, line);
            return;
        }
        // Lines logged while the port is closed (a Write before Open, say) are
        // appended to the named file rather than lost.
        int fd = ::open(LogName().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            WriteWhole(fd, line);
            ::close(fd);
        }
    } catch (const std::exception&) {
        // Out of memory: the line is lost, the caller goes on.
    }
}

std::string FormatLastError(int code) {
    try {
        const char* text = ::strerrordesc_np(code);
        if (text != nullptr) {
            return text;
        }
        return "FormatMessage failed on error " + std::to_string(code) +
               " for the following reason: " + std::to_string(EINVAL);
    } catch (const std::bad_alloc&) {
        DebugOutput("Out of memory trying to FormatLastError");
        return std::string();
    }
}

void LogSystemError(int code, const char* prefix) {
    try {
        std::string line = prefix != nullptr ? prefix : "";
        std::string text = FormatLastError(code);
        if (text.empty()) {
            line += "Out of memory";
        } else {
            line += "GetLastError returned: \"";
            line += text;
            line += '"';
        }
        if (line.size() > kMaxLogLine) {
            line.resize(kMaxLogLine);
        }
        CommLog(line);
    } catch (const std::exception&) {
    }
}

void DebugOutput(const std::string& text) {
    qCDebug(lcSerial, "%s", text.c_str());
}

}  // namespace orvo
