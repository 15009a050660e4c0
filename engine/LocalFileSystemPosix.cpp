// Local files on Linux.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "engine/LocalFileSystem.h"

namespace orvo {

namespace local_fs {

namespace {

// The permissions a newly created file gets from this process.
mode_t UsualFileMode() {
    mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::FILE* Open(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::FILE* OpenNoFollow(const std::string& path, const char* mode) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, mode);
    if (fd >= 0 && !file)
        ::close(fd);
    return file;
}

int CreateUnique(std::string& pattern) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        pattern = name.data();
    return fd;
}

std::FILE* AdoptDescriptor(int fd, const char* mode) {
    return ::fdopen(fd, mode);
}

void CloseDescriptor(int fd) {
    ::close(fd);
}

int Remove(const std::string& path) {
    return ::unlink(path.c_str());
}

int Replace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
}

int PrepareForCommit(std::FILE* file, const std::string& finalPath) {
    struct stat old {};
    const mode_t mode = (::lstat(finalPath.c_str(), &old) == 0 && S_ISREG(old.st_mode))
                            ? (old.st_mode & 0777)
                            : UsualFileMode();
    if (std::fflush(file) != 0 || ::fchmod(::fileno(file), mode) != 0 ||
        ::fsync(::fileno(file)) != 0)
        return -1;
    return 0;
}

int64_t Size(std::FILE* file) {
    struct stat st {};
    std::fflush(file);
    return ::fstat(::fileno(file), &st) == 0 ? st.st_size : -1;
}

int64_t Size(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

int Truncate(std::FILE* file) {
    return std::fflush(file) != 0 || ::ftruncate(::fileno(file), 0) != 0 ? -1 : 0;
}

void MakePrivateFolder(const std::string& path) {
    ::chmod(path.c_str(), 0700);
}

}  // namespace local_fs

}  // namespace orvo
