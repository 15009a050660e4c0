// A trace of the phone's line: every byte both ways, appended to a text file in
// the format of protocol/TraceFormat.h, for a user to send with a problem report
// and for the phone emulator to replay (docs/reporting-problems.md).
//
// The file holds every byte moved, so a new one is made readable by its owner
// alone (0600), and so is a folder made for it (0700). Records are kept in memory
// and written whole shortly after, so recording never waits on the disk, and the
// file only ever ends with a whole record: a write that fails (a full disk) is
// cut back to the last whole record and ends the trace, with the reason kept.
#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace orvo {

class LineTrace {
  public:
    LineTrace();
    ~LineTrace();
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

    // Opens path for appending (creating its folder when missing). A path that is
    // there but is not a regular file (a folder, a pipe, a device) is refused. On
    // failure the trace stays closed and error says why.
    bool Open(const std::string& path, std::string& error);
    // Writes what is kept and closes the file.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    // Starts a block: the header lines; record times count from here.
    void Header(const std::string& program, const std::string& port, uint32_t baud);
    // One record; direction is 'H' (to the phone) or 'P' (from the phone).
    void Record(char direction, const void* data, std::size_t length);
    // A comment line ("# text").
    void Note(const std::string& text);
    // Writes what is kept now; false when the trace could not be written.
    bool Flush();

    // Why the trace stopped at a write that failed; empty while every record
    // reached the file. Open() clears it.
    const std::string& Error() const { return error_; }
    // Called once when a write fails (the trace is closed by then), with the reason.
    std::function<void(const std::string&)> onFailed;

  private:
    void Add(const std::string& text);

    int fd_ = -1;
    std::string path_;
    std::string pending_;  // whole records not written yet
    long long good_ = 0;   // the file's size after the last whole write
    std::string error_;
    std::chrono::steady_clock::time_point start_;
    QTimer flush_;
};

// The program's version, for the header.
const char* ProgramVersion();

}  // namespace orvo
