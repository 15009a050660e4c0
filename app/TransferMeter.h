// The arithmetic behind a progress line, shared by both front ends: how fast a
// transfer goes and how long it has left, from the byte counts a batch reports and
// a clock the caller reads (milliseconds, any origin), and the texts for them.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Session.h"

namespace orvo {

// Speed and time left of one count of bytes (a file or a whole batch), averaged
// since it started.
class RateMeter {
  public:
    // Starts over: done bytes at nowMs.
    void Start(int64_t nowMs, int64_t done = 0);
    // The count reached done at nowMs (a count that goes back starts over).
    void Update(int64_t nowMs, int64_t done);
    bool Started() const { return started_; }
    // Bytes per second; 0 until time has passed and bytes have moved.
    double BytesPerSecond() const;
    // Whole seconds until total is reached at this speed; -1 while unknown.
    int64_t SecondsLeft(int64_t total) const;
    int64_t Done() const { return done_; }

  private:
    bool started_ = false;
    int64_t startMs_ = 0;
    int64_t startDone_ = 0;
    int64_t nowMs_ = 0;
    int64_t done_ = 0;
};

// Both meters of a batch, fed from the progress the engine reports: the file
// meter starts over with each new file (another name, or nothing of it done yet).
class TransferMeter {
  public:
    void Update(int64_t nowMs, const TransferProgress& progress);
    // Time passes with no new bytes: the speeds fall.
    void Tick(int64_t nowMs);
    const RateMeter& File() const { return file_; }
    const RateMeter& Batch() const { return batch_; }
    const TransferProgress& Last() const { return last_; }
    bool Started() const { return batch_.Started(); }
    void Reset() { *this = TransferMeter(); }

  private:
    RateMeter file_;
    RateMeter batch_;
    TransferProgress last_;
    std::string file_name_;
};

// Sizes as the form shows them, in its language: "512 Б", "1,5 КБ", "12,3 МБ", "1,2 ГБ" (1024
// steps).
std::string FormatBytes(int64_t bytes);
// "0:07", "12:34", "1:02:03".
std::string FormatDuration(int64_t seconds);
// "120 КБ из 1,5 МБ, 64,0 КБ/с, осталось 0:21"; the speed and time left are left
// out while unknown.
std::string ProgressLine(const RateMeter& meter, int64_t done, int64_t total);

}  // namespace orvo
