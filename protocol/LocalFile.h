// The computer-side file of a transfer: a binary file read and written in bytes,
// whose position the transfer moves. Failures throw IoError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

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

    // Opens an existing file for reading, at its start.
    void OpenRead(const std::string& path);
    // Creates (or truncates) a file for writing.
    void Create(const std::string& path);
    // Adopts an already open descriptor for writing (a private temporary file).
    void AdoptForWriting(int fd, const std::string& path);
    // Reopens the same path for reading, at its start.
    void ReopenRead();
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // Reads up to count bytes; returns how many were read (0 at the end).
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* data, std::size_t count);
    // Size as the file system reports it.
    int64_t Size() const;
    void Rewind();

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
};
