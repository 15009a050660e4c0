// The few calls on local files that differ between systems, one file per system
// (LocalFileSystemPosix.cpp, LocalFileSystemWin.cpp). Paths are UTF-8 on both;
// failures return -1 (or null) with the reason in errno.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace orvo {

namespace local_fs {

// fopen with a UTF-8 name.
std::FILE* Open(const std::string& path, const char* mode);
// The same for reading, refusing a symbolic link as the last part (ELOOP).
std::FILE* OpenNoFollow(const std::string& path, const char* mode);
// Creates a new file, exclusively and for this user only, from a path ending in
// "XXXXXX" (replaced with the name made); its descriptor, not inherited by
// programs this one starts.
int CreateUnique(std::string& pattern);
std::FILE* AdoptDescriptor(int fd, const char* mode);
void CloseDescriptor(int fd);
int Remove(const std::string& path);
// Gives `from` the name `to` in one step, replacing a file of that name.
int Replace(const std::string& from, const std::string& to);
// The same without replacing: fails with EEXIST when `to` exists.
int RenameNoReplace(const std::string& from, const std::string& to);
// Readies a complete file that is to take the name `finalPath`: the permission
// bits of the file it replaces (only 0777, never set-uid; a link there lends
// nothing), or the usual ones for a new file, and its bytes on the disk. The
// stream is flushed first.
int PrepareForCommit(std::FILE* file, const std::string& finalPath);
int64_t Size(std::FILE* file);
int64_t Size(const std::string& path);
int Truncate(std::FILE* file);
// Leaves a folder readable by this user only (where the system has such rights).
void MakePrivateFolder(const std::string& path);

// Where the last folder separator of a local path is (npos when there is none):
// "/" on every system, "\\" too on Windows.
inline std::size_t LastSeparator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.rfind('/');
#endif
}
// The file's own name: what follows the last separator.
inline std::string BaseNameOf(const std::string& path) {
    return path.substr(LastSeparator(path) + 1);
}

}  // namespace local_fs

}  // namespace orvo
