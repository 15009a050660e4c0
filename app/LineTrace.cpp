#include "app/LineTrace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "protocol/TraceFormat.h"

#ifndef ORVO_VERSION
#define ORVO_VERSION "unknown"
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace orvo {

namespace {

namespace fs = std::filesystem;

// Records kept in memory reach the file within this time, or at this size.
constexpr int kFlushMs = 200;
constexpr std::size_t kFlushBytes = 64 * 1024;

// Makes the missing folders of path, each readable by its owner alone.
bool MakeFolders(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec))
        return true;
    if (!MakeFolders(folder.parent_path(), error))
        return false;
    if (!fs::create_directory(folder, ec) && ec) {
        error = "cannot make the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    return true;
}

}  // namespace

const char* ProgramVersion() {
    return ORVO_VERSION;
}

LineTrace::LineTrace() {
    flush_.setSingleShot(true);
    flush_.setInterval(kFlushMs);
    QObject::connect(&flush_, &QTimer::timeout, [this] { Flush(); });
    start_ = std::chrono::steady_clock::now();
}

LineTrace::~LineTrace() {
    Close();
}

bool LineTrace::Open(const std::string& path, std::string& error) {
    Close();
    error.clear();
    error_.clear();
    struct stat st {};
    // A pipe would block the program at the first write, a device take the bytes
    // nowhere: only a file is a trace.
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    if (!MakeFolders(fs::absolute(fs::path(path)).parent_path(), error))
        return false;
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_BINARY, 0600);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a regular file";
        return false;
    }
    fd_ = fd;
    good_ = static_cast<long long>(st.st_size);
    path_ = path;
    start_ = std::chrono::steady_clock::now();
    return true;
}

void LineTrace::Close() {
    flush_.stop();
    if (fd_ < 0)
        return;
    Flush();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool LineTrace::Flush() {
    flush_.stop();
    if (fd_ < 0)
        return error_.empty();
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A full disk or a failing device: the file goes back to its last whole
        // record, and the trace ends there.
        error_ = n < 0 ? std::strerror(errno) : "nothing written";
        if (::ftruncate(fd_, static_cast<off_t>(good_)) != 0) {
            // The cut record stays; nothing more can be done about it.
        }
        ::close(fd_);
        fd_ = -1;
        pending_.clear();
        if (onFailed)
            onFailed(error_);
        return false;
    }
    good_ += static_cast<long long>(pending_.size());
    pending_.clear();
    return true;
}

void LineTrace::Add(const std::string& text) {
    pending_ += text;
    if (pending_.size() >= kFlushBytes)
        Flush();
    else if (!flush_.isActive())
        flush_.start();
}

void LineTrace::Header(const std::string& program, const std::string& port, uint32_t baud) {
    if (fd_ < 0)
        return;
    start_ = std::chrono::steady_clock::now();
    const auto wall = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count() %
        1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char when[40];
    const std::size_t n = std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &utc);
    std::snprintf(when + n, sizeof when - n, ".%03d", static_cast<int>(ms));
    Add(TraceHeaderLines(program, ProgramVersion(), port, baud, when));
}

void LineTrace::Record(char direction, const void* data, std::size_t length) {
    if (fd_ < 0 || length == 0)
        return;
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now() - start_)
                             .count();
    Add(TraceRecordLine(us, direction, data, length));
}

void LineTrace::Note(const std::string& text) {
    if (fd_ < 0)
        return;
    Add(TraceNoteLine(text));
}

}  // namespace orvo
