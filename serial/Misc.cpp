#include "serial/Misc.h"

#include <QLoggingCategory>
#include <cerrno>
#include <ios>
#include <mutex>
#include <new>
#include <system_error>

#include "serial/SystemLine.h"

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
        serial_system::CloseLogFile(gLogFd);
        gLogFd = -1;
    }
    int err = 0;
    int fd = serial_system::OpenLogFile(LogName(), true, err);
    if (fd < 0) {
        throw std::ios_base::failure("Cannot create the diagnostic log " + LogName(),
                                     std::error_code(err, std::generic_category()));
    }
    gLogFd = fd;
}

void CloseCommLog() {
    std::lock_guard<std::mutex> lock(LogMutex());
    if (gLogFd >= 0) {
        serial_system::CloseLogFile(gLogFd);
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
            serial_system::WriteLogLine(gLogFd, line);
            return;
        }
        // Lines logged while the port is closed (a Write before Open, say) are
        // appended to the named file rather than lost.
        int err = 0;
        int fd = serial_system::OpenLogFile(LogName(), false, err);
        if (fd >= 0) {
            serial_system::WriteLogLine(fd, line);
            serial_system::CloseLogFile(fd);
        }
    } catch (const std::exception&) {
        // Out of memory: the line is lost, the caller goes on.
    }
}

std::string FormatLastError(int code) {
    try {
        std::string text = serial_system::ErrnoText(code);
        if (!text.empty()) {
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
        std::string line = SystemErrorLine(code, prefix);
        if (!line.empty()) {
            CommLog(line);
        }
    } catch (const std::exception&) {
    }
}

std::string SystemErrorLine(int code, const char* prefix) {
    return SystemErrorLineWithText(FormatLastError(code), prefix);
}

std::string SystemErrorLineWithText(const std::string& text, const char* prefix) {
    try {
        std::string line = prefix != nullptr ? prefix : "";
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
        return line;
    } catch (const std::exception&) {
        return std::string();
    }
}

void DebugOutput(const std::string& text) {
    qCDebug(lcSerial, "%s", text.c_str());
}

}  // namespace orvo
