#include "app/LineTrace.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <ctime>

#ifndef ORVO_VERSION
#define ORVO_VERSION "unknown"
#endif

namespace orvo {

namespace {

// Records waiting in the buffer reach the file within this time.
constexpr int kFlushMs = 200;

}  // namespace

const char* ProgramVersion() {
    return ORVO_VERSION;
}

std::string EscapeTraceBytes(const void* data, std::size_t length) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* p = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve(length + length / 2);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = p[i];
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += static_cast<char>(c);
                } else {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 0x0F];
                }
        }
    }
    return out;
}

LineTrace::LineTrace() {
    flush_.setSingleShot(true);
    flush_.setInterval(kFlushMs);
    QObject::connect(&flush_, &QTimer::timeout, [this] {
        if (file_)
            std::fflush(file_);
    });
    start_ = std::chrono::steady_clock::now();
}

LineTrace::~LineTrace() {
    Close();
}

bool LineTrace::Open(const std::string& path, std::string& error) {
    Close();
    error.clear();
    const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = "cannot make the folder " + folder.toStdString();
        return false;
    }
    file_ = std::fopen(path.c_str(), "ae");
    if (!file_) {
        error = std::strerror(errno);
        return false;
    }
    path_ = path;
    start_ = std::chrono::steady_clock::now();
    return true;
}

void LineTrace::Close() {
    flush_.stop();
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

void LineTrace::Header(const std::string& program, const std::string& port, uint32_t baud) {
    if (!file_)
        return;
    start_ = std::chrono::steady_clock::now();
    const auto wall = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &utc);
    std::fprintf(file_,
                 "# orvo line trace 1\n# program: %s %s\n# port: %s\n# speed: %u\n"
                 "# started: %s.%03d UTC\n",
                 program.c_str(), ProgramVersion(),
                 EscapeTraceBytes(port.data(), port.size()).c_str(), static_cast<unsigned>(baud),
                 when, static_cast<int>(ms));
    Written();
}

void LineTrace::Record(char direction, const void* data, std::size_t length) {
    if (!file_ || length == 0)
        return;
    // Whole numbers only: a floating-point format follows the user's locale ("0,5").
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now() - start_)
                             .count();
    std::fprintf(file_, "%lld.%06lld %c \"%s\"\n", us / 1000000, us % 1000000, direction,
                 EscapeTraceBytes(data, length).c_str());
    Written();
}

void LineTrace::Note(const std::string& text) {
    if (!file_)
        return;
    std::fprintf(file_, "# %s\n", EscapeTraceBytes(text.data(), text.size()).c_str());
    Written();
}

void LineTrace::Written() {
    if (!flush_.isActive())
        flush_.start();
}

}  // namespace orvo
