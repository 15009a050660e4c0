#include "engine/LocalFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace orvo {

namespace {
std::string Describe(const char* what, const std::string& path) {
    return std::string(what) + " \"" + path + "\": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The permissions a newly created file gets from this process.
mode_t UsualFileMode() {
    mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}
}  // namespace

LocalFile::~LocalFile() {
    Close();
}

void LocalFile::OpenRead(const std::string& path) {
    Close();
    path_ = path;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        throw IoError(Describe("Cannot open", path));
}

void LocalFile::Create(const std::string& path) {
    Close();
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        throw IoError(Describe("Cannot create", path));
}

void LocalFile::AdoptForWriting(int fd, const std::string& path) {
    Close();
    path_ = path;
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        throw IoError(Describe("Cannot open", path));
    }
}

void LocalFile::CreateTemporaryFor(const std::string& finalPath) {
    Close();
    std::string folder = FolderOf(finalPath);
    std::string pattern = (folder == "/" ? std::string() : folder) + "/.orvo-download-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        throw IoError(Describe("Cannot create", pattern));
    path_ = name.data();
    file_ = ::fdopen(fd, "w+b");
    if (!file_) {
        IoError error(Describe("Cannot open", path_));
        ::close(fd);
        ::unlink(path_.c_str());
        throw error;
    }
    finalPath_ = finalPath;
}

void LocalFile::CommitTemporary() {
    if (!file_ || finalPath_.empty())
        throw IoError("No temporary file to commit");
    struct stat old {};
    const mode_t mode = (::stat(finalPath_.c_str(), &old) == 0 && S_ISREG(old.st_mode))
                            ? (old.st_mode & 07777)
                            : UsualFileMode();
    // On the disk before it takes the name, so a crash leaves the old file or the new.
    int err = 0;
    if (std::fflush(file_) != 0 || ::fchmod(::fileno(file_), mode) != 0 ||
        ::fsync(::fileno(file_)) != 0)
        err = errno;
    if (std::fclose(file_) != 0 && err == 0)
        err = errno;
    file_ = nullptr;
    if (err == 0 && ::rename(path_.c_str(), finalPath_.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(path_.c_str());
        errno = err;
        IoError error(Describe("Cannot save", finalPath_));
        finalPath_.clear();
        throw error;
    }
    path_ = finalPath_;
    finalPath_.clear();
}

void LocalFile::ReopenRead() {
    std::string path = path_;
    OpenRead(path);
}

void LocalFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!finalPath_.empty()) {
        ::unlink(path_.c_str());
        finalPath_.clear();
    }
}

std::size_t LocalFile::Read(void* buffer, std::size_t count) {
    if (!file_)
        throw IoError("File not open");
    std::size_t n = std::fread(buffer, 1, count, file_);
    if (n < count && std::ferror(file_))
        throw IoError(Describe("Cannot read", path_));
    return n;
}

void LocalFile::Write(const void* data, std::size_t count) {
    if (!file_)
        throw IoError("File not open");
    if (count == 0)
        return;
    if (std::fwrite(data, 1, count, file_) != count || std::fflush(file_) != 0)
        throw IoError(Describe("Cannot write", path_));
}

int64_t LocalFile::Size() const {
    struct stat st {};
    if (file_) {
        std::fflush(file_);
        if (::fstat(::fileno(file_), &st) == 0)
            return st.st_size;
    } else if (::stat(path_.c_str(), &st) == 0) {
        return st.st_size;
    }
    throw IoError(Describe("Cannot get the size of", path_));
}

void LocalFile::Truncate() {
    if (!file_)
        throw IoError("File not open");
    if (std::fflush(file_) != 0 || ::ftruncate(::fileno(file_), 0) != 0)
        throw IoError(Describe("Cannot write", path_));
    std::rewind(file_);
}

void LocalFile::Rewind() {
    if (!file_)
        throw IoError("File not open");
    std::rewind(file_);
}

}  // namespace orvo
