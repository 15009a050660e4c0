// Local files on Windows: UTF-8 names become UTF-16 for the system; a file is
// private by the user's own folder rights, which it inherits.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "engine/LocalFileSystem.h"

namespace orvo {

namespace local_fs {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                              n);
    return out;
}

int ErrnoFor(DWORD err) {
    switch (err) {
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_DISK_FULL:
            return ENOSPC;
        case ERROR_INVALID_NAME:
            return EINVAL;
        default:
            return EIO;
    }
}

int Fail(DWORD err) {
    errno = ErrnoFor(err);
    return -1;
}

}  // namespace

std::FILE* Open(const std::string& path, const char* mode) {
    return ::_wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

std::FILE* OpenNoFollow(const std::string& path, const char* mode) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        errno = ELOOP;
        return nullptr;
    }
    return Open(path, mode);
}

int CreateUnique(std::string& pattern) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t x = pattern.size() >= 6 ? pattern.size() - 6 : std::string::npos;
    if (x == std::string::npos || pattern.compare(x, 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return -1;
    }
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = pattern;
        for (std::size_t i = x; i < name.size(); ++i)
            name[i] = kLetters[random() % (sizeof kLetters - 1)];
        int fd =
            ::_wopen(Wide(name).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                     _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            pattern = name;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

std::FILE* AdoptDescriptor(int fd, const char* mode) {
    return ::_fdopen(fd, mode);
}

void CloseDescriptor(int fd) {
    ::_close(fd);
}

int Remove(const std::string& path) {
    return ::DeleteFileW(Wide(path).c_str()) ? 0 : Fail(::GetLastError());
}

int Replace(const std::string& from, const std::string& to) {
    return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : Fail(::GetLastError());
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH)
               ? 0
               : Fail(::GetLastError());
}

int PrepareForCommit(std::FILE* file, const std::string& /*finalPath*/) {
    if (std::fflush(file) != 0)
        return -1;
    HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    if (h == INVALID_HANDLE_VALUE || !::FlushFileBuffers(h))
        return Fail(::GetLastError());
    return 0;
}

int64_t Size(std::FILE* file) {
    std::fflush(file);
    const int64_t size = ::_filelengthi64(::_fileno(file));
    return size;
}

int64_t Size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        return Fail(::GetLastError());
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int Truncate(std::FILE* file) {
    if (std::fflush(file) != 0)
        return -1;
    return ::_chsize_s(::_fileno(file), 0) == 0 ? 0 : -1;
}

void MakePrivateFolder(const std::string& /*path*/) {}

}  // namespace local_fs

}  // namespace orvo
