#include "protocol/LocalFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
std::string Describe(const char* what, const std::string& path) {
    return std::string(what) + " \"" + path + "\": " + std::strerror(errno);
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

void LocalFile::ReopenRead() {
    std::string path = path_;
    OpenRead(path);
}

void LocalFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
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

void LocalFile::Rewind() {
    if (!file_)
        throw IoError("File not open");
    std::rewind(file_);
}
