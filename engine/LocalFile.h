// The computer-side file of a transfer: a binary file read and written in bytes,
// whose position the transfer moves. Failures throw IoError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace orvo {

class IoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class LocalFile {
  public:
    LocalFile() = default;
    ~LocalFile();
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // Opens an existing file for reading, at its start; a symbolic link is not
    // followed unless followLink.
    void OpenRead(const std::string& path, bool followLink = true);
    // Creates (or truncates) a file for writing.
    void Create(const std::string& path);
    // Adopts an already open descriptor for writing (a private temporary file).
    void AdoptForWriting(int fd, const std::string& path);
    // Starts a file that is to appear as finalPath only once it is complete: a new
    // private file in the same folder (created exclusively, so never through a
    // symbolic link), open for writing and reading back. Until CommitTemporary,
    // Close removes it, so a failed transfer leaves the folder as it was.
    void CreateTemporaryFor(const std::string& finalPath);
    // Gives the complete temporary file its final name in one rename, replacing a
    // file of that name; it takes that file's permissions, or the usual ones.
    void CommitTemporary();
    bool HoldsTemporary() const { return !finalPath_.empty(); }
    // The name the temporary file will take (empty when there is none).
    const std::string& FinalPath() const { return finalPath_; }
    // Reopens the same path for reading, at its start.
    void ReopenRead();
    // Closes the file; a temporary file that was not committed is removed.
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // Reads up to count bytes; returns how many were read (0 at the end).
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* data, std::size_t count);
    // Size as the file system reports it.
    int64_t Size() const;
    void Rewind();
    // Empties the file written so far and starts it again from its beginning.
    void Truncate();

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string finalPath_;
    bool followLink_ = true;
};

}  // namespace orvo
