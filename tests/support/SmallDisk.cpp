#include "tests/support/SmallDisk.h"

#ifdef __linux__

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#endif

namespace orvo {

#ifdef __linux__

namespace {
const char kFiller[] = "/.filler";
}

SmallDisk::SmallDisk(std::size_t bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "small-disk-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return;
    path_ = pattern;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ =
        ::geteuid() == 0 && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_)
        ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code ec;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ec);
}

void SmallDisk::Fill(std::size_t keep) {
    const std::string filler = path_ + kFiller;
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    std::vector<char> block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    // Room for a little, when asked for.
    if (keep > 0) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        (void)!::ftruncate(fd, end > static_cast<off_t>(keep) ? end - static_cast<off_t>(keep) : 0);
    }
    ::close(fd);
}

void SmallDisk::Free() {
    ::unlink((path_ + kFiller).c_str());
}

#else

// No tmpfs to mount here: the full-disk tests skip.
SmallDisk::SmallDisk(std::size_t) {}
SmallDisk::~SmallDisk() = default;
void SmallDisk::Fill(std::size_t) {}
void SmallDisk::Free() {}

#endif

}  // namespace orvo
