#include "engine/LocalFile.h"

#include <cerrno>
#include <cstring>

#include "engine/LocalFileSystem.h"

namespace orvo {

namespace {
std::string Describe(const char* what, const std::string& path) {
    return std::string(what) + " \"" + path + "\": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = local_fs::LastSeparator(path);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}
}  // namespace

LocalFile::~LocalFile() {
    Close();
}

void LocalFile::OpenRead(const std::string& path, bool followLink) {
    Close();
    path_ = path;
    followLink_ = followLink;
    file_ = followLink ? local_fs::Open(path, "rb") : local_fs::OpenNoFollow(path, "rb");
    if (!file_)
        throw IoError(Describe("Cannot open", path));
}

void LocalFile::Create(const std::string& path) {
    Close();
    path_ = path;
    file_ = local_fs::Open(path, "wb");
    if (!file_)
        throw IoError(Describe("Cannot create", path));
}

void LocalFile::AdoptForWriting(int fd, const std::string& path) {
    Close();
    path_ = path;
    file_ = local_fs::AdoptDescriptor(fd, "wb");
    if (!file_) {
        local_fs::CloseDescriptor(fd);
        throw IoError(Describe("Cannot open", path));
    }
}

void LocalFile::CreateTemporaryFor(const std::string& finalPath) {
    Close();
    std::string folder = FolderOf(finalPath);
    std::string pattern = (folder == "/" ? std::string() : folder) + "/.orvo-download-XXXXXX";
    std::string name = pattern;
    int fd = local_fs::CreateUnique(name);
    if (fd < 0)
        throw IoError(Describe("Cannot create", pattern));
    path_ = name;
    file_ = local_fs::AdoptDescriptor(fd, "w+b");
    if (!file_) {
        IoError error(Describe("Cannot open", path_));
        local_fs::CloseDescriptor(fd);
        local_fs::Remove(path_);
        throw error;
    }
    finalPath_ = finalPath;
}

void LocalFile::CommitTemporary() {
    if (!file_ || finalPath_.empty())
        throw IoError("No temporary file to commit");
    // On the disk before it takes the name, so a crash leaves the old file or the new.
    int err = 0;
    if (local_fs::PrepareForCommit(file_, finalPath_) != 0)
        err = errno;
    if (std::fclose(file_) != 0 && err == 0)
        err = errno;
    file_ = nullptr;
    if (err == 0 && local_fs::Replace(path_, finalPath_) != 0)
        err = errno;
    if (err != 0) {
        local_fs::Remove(path_);
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
    OpenRead(path, followLink_);
}

void LocalFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!finalPath_.empty()) {
        local_fs::Remove(path_);
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
    const int64_t size = file_ ? local_fs::Size(file_) : local_fs::Size(path_);
    if (size >= 0)
        return size;
    throw IoError(Describe("Cannot get the size of", path_));
}

void LocalFile::Truncate() {
    if (!file_)
        throw IoError("File not open");
    if (local_fs::Truncate(file_) != 0)
        throw IoError(Describe("Cannot write", path_));
    std::rewind(file_);
}

void LocalFile::Rewind() {
    if (!file_)
        throw IoError("File not open");
    std::rewind(file_);
}

}  // namespace orvo
