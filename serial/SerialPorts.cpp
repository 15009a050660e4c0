#include "serial/SerialPorts.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

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

std::vector<std::string> SerialPortCandidates() {
    static const char* const kFamilies[] = {"/dev/ttyUSB", "/dev/ttyACM", "/dev/rfcomm",
                                            "/dev/ttyS"};
    std::vector<std::string> names;
    names.reserve(4 * 256);
    for (const char* family : kFamilies) {
        for (int n = 0; n <= 255; ++n) {
            names.push_back(family + std::to_string(n));
        }
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

std::vector<std::string> ListSerialPorts() {
    return ProbeSerialPorts(SerialPortCandidates());
}
