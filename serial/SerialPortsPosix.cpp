// Port search on Linux: the serial device families in /dev, probed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <tuple>

#include "serial/Misc.h"
#include "serial/SerialPorts.h"

namespace orvo {

namespace {

const char* const kFamilies[] = {"ttyUSB", "ttyACM", "rfcomm", "ttyS"};
constexpr int kFamilyCount = static_cast<int>(sizeof kFamilies / sizeof kFamilies[0]);

// The family index and number of a device name such as "ttyUSB3"; false for any
// other name (no number, a sign, text after the number, a number out of range).
bool ParseDeviceName(const char* name, int& family, unsigned& number) {
    for (int f = 0; f < kFamilyCount; ++f) {
        const std::size_t prefix = std::strlen(kFamilies[f]);
        if (std::strncmp(name, kFamilies[f], prefix) != 0) {
            continue;
        }
        const char* digits = name + prefix;
        if (*digits == '\0') {
            return false;
        }
        unsigned long value = 0;
        for (const char* p = digits; *p != '\0'; ++p) {
            if (*p < '0' || *p > '9' || value > std::numeric_limits<unsigned>::max() / 10) {
                return false;
            }
            value = value * 10 + static_cast<unsigned>(*p - '0');
        }
        family = f;
        number = static_cast<unsigned>(value);
        return true;
    }
    return false;
}

bool PortIsFree(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;  // missing, held exclusively, or no rights
    }
    // A port that another program has open and locked is busy. Closing the
    // descriptor releases our own lock at once.
    bool free = ::isatty(fd) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

}  // namespace

std::vector<std::string> SerialPortCandidates(const std::string& devDir) {
    struct Found {
        int family;
        unsigned number;
        std::string path;
    };
    std::vector<Found> found;
    DIR* dir = ::opendir(devDir.c_str());
    if (dir == nullptr) {
        return {};
    }
    const std::string prefix = devDir.empty() || devDir.back() == '/' ? devDir : devDir + "/";
    while (const dirent* entry = ::readdir(dir)) {
        int family = 0;
        unsigned number = 0;
        if (!ParseDeviceName(entry->d_name, family, number)) {
            continue;
        }
        std::string path = prefix + entry->d_name;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
            continue;
        }
        found.push_back({family, number, std::move(path)});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.family, a.number) < std::tie(b.family, b.number);
    });
    std::vector<std::string> names;
    names.reserve(found.size());
    for (Found& f : found) {
        names.push_back(std::move(f.path));
    }
    return names;
}

std::vector<std::string> ProbeSerialPorts(const std::vector<std::string>& candidates) {
    std::vector<std::string> found;
    for (const std::string& name : candidates) {
        if (PortIsFree(name)) {
            found.push_back(name);
        }
    }
    return found;
}

std::vector<std::string> ListSerialPorts(const std::string& devDir) {
    return ProbeSerialPorts(SerialPortCandidates(devDir));
}

std::vector<std::string> WithStableNames(const std::vector<std::string>& ports,
                                         const std::string& devDir) {
    namespace fs = std::filesystem;
    // Each link's target as a path (a relative one is read from the link's folder).
    const fs::path byId = fs::path(devDir) / "serial" / "by-id";
    std::map<std::string, std::vector<std::string>> namesOf;
    std::error_code ec;
    for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (linkError)
            continue;
        namesOf[(byId / target).lexically_normal().string()].push_back(it->path().string());
    }
    std::vector<std::string> out;
    for (const std::string& port : ports) {
        out.push_back(port);
        auto names = namesOf.find(fs::path(port).lexically_normal().string());
        if (names == namesOf.end())
            continue;
        std::sort(names->second.begin(), names->second.end());
        out.insert(out.end(), names->second.begin(), names->second.end());
    }
    return out;
}

Text PortOpenFailureReason(const std::string& port, int error) {
    switch (error) {
        case 0:
            return Text();
        case EACCES:
        case EPERM:
            return Text(MessageId::PortNoAccess, {port});
        case EBUSY:
            return Text(MessageId::PortBusy, {port});
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return Text(MessageId::PortNotFound, {port});
        case ENOTTY:
            return Text(MessageId::PortNotSerial, {port});
        default:
            return Text(MessageId::PortFailed, {port, FormatLastError(error)});
    }
}

}  // namespace orvo
