// The serial port component: owns one serial port, runs a reader and a writer
// thread while the port is open, and hands every block of received bytes to its
// owner on the owner's thread.
//
// The reader collects bytes into blocks of at most 2048 bytes; a block ends when it
// is full or when the line has stayed idle for ReadInterval milliseconds after at
// least one byte, or earlier, as soon as it holds complete replies under the framing
// the owner set for the reply it awaits (SetReplyFraming). Blocks travel to the owner's thread as
// queued calls on this QObject, in order, each in a buffer of its own. The writer sends queued
// requests in call order, each one completely, within 5000 ms.
#pragma once

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Port.h"

namespace orvo {

// A port that cannot be opened. Error() is the system's errno value for the
// reason (EBUSY also when another program holds the port's lock), 0 when there is
// no system reason.
class ECommsError : public std::runtime_error {
  public:
    explicit ECommsError(const std::string& what, int error = 0)
        : runtime_error(what), error_(error) {}
    int Error() const { return error_; }

  private:
    int error_;
};

class TComm32;
using TReceiveDataEvent =
    std::function<void(TComm32* Sender, const uint8_t* Buffer, uint16_t BufferLength)>;

// Line-error flags, as the reader reports them.
constexpr uint32_t kLineOverrun = 0x0002;
constexpr uint32_t kLineParity = 0x0004;
constexpr uint32_t kLineFrame = 0x0008;
constexpr uint32_t kLineBreak = 0x0010;

// Counters of line errors read from the driver.
struct LineErrorCounters {
    uint64_t frame = 0;
    uint64_t overrun = 0;
    uint64_t parity = 0;
    uint64_t brk = 0;
};

// The line-error flags for a rise of the counters from `before` to `after`.
uint32_t LineErrorFlags(const LineErrorCounters& before, const LineErrorCounters& after);

// The line-error report: "Comm Event: " + the list of conditions joined by " and "
// ("NULL Error" for no flags; CE_FRAME, CE_OVERRUN, CE_RXPARITY, then
// "EV_ERR Unknown EvtMask" for any other flag) + ", EvtMask = " + flags in decimal.
std::string FormatLineErrorReport(uint32_t flags);

namespace serial_system {
class Event;
class Line;
}  // namespace serial_system

namespace comm32_internal {

// A thread with a completion flag, so that its owner can wait a bounded time for
// it to end before joining.
class WorkerThread {
  public:
    virtual ~WorkerThread();
    // Starts the thread; throws std::system_error when it cannot be created.
    void Start();
    // Waits up to `ms` for the run body to finish; true when it has.
    bool WaitFinished(int ms);
    void Join();

  protected:
    WorkerThread(TComm32* owner, serial_system::Line* line, const serial_system::Event* stop,
                 uint64_t generation);
    virtual void Run() = 0;
    // Posts one hang-up request to the owner (at most one per thread).
    void PostHangup();
    bool StopRequested() const;

    TComm32* owner_;
    serial_system::Line* line_;
    const serial_system::Event* stop_;
    uint64_t generation_;

  private:
    void Body();
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    bool finished_ = false;
    bool hangupPosted_ = false;
};

// The writer's first-in first-out queue; it exists before the writer starts.
struct WriteQueue {
    WriteQueue();
    ~WriteQueue();
    bool Valid() const;
    // Queues a request; false when the writer has ended.
    bool Push(std::vector<uint8_t> request);
    // Takes the oldest request; false when there is none.
    bool Pop(std::vector<uint8_t>& request);
    // Marks the queue closed and drops every request still in it.
    void Shut();

    std::mutex m;
    std::deque<std::vector<uint8_t>> requests;
    bool shut = false;
    std::unique_ptr<serial_system::Event> wake;  // set while requests may be waiting
};

}  // namespace comm32_internal

class TReadThread : public comm32_internal::WorkerThread {
  public:
    TReadThread(TComm32* owner, serial_system::Line* line, const serial_system::Event* stop,
                uint64_t generation, int32_t readInterval, bool quietGapOnly);

  protected:
    void Run() override;

  private:
    bool PostReceivedData(const uint8_t* data, std::size_t count);
    void CheckLineErrors();

    int32_t readInterval_;
    bool quietGapOnly_;
    bool countersSupported_ = false;
    LineErrorCounters counters_;
};

class TWriteThread : public comm32_internal::WorkerThread {
  public:
    TWriteThread(TComm32* owner, serial_system::Line* line, const serial_system::Event* stop,
                 uint64_t generation, std::shared_ptr<comm32_internal::WriteQueue> queue);

  protected:
    void Run() override;

  private:
    bool SendBuffer(const uint8_t* data, std::size_t count);

    std::shared_ptr<comm32_internal::WriteQueue> queue_;
    // Read by the reader thread after every read from the line.
    std::atomic<ReplyFraming> framing_{ReplyFraming::QuietGap};
};

class TComm32 : public QObject, public IPort {
    Q_OBJECT
  public:
    explicit TComm32(QObject* owner = nullptr);
    ~TComm32() override;

    uint32_t BaudRate = 0;
    uint32_t Bits = 0;
    uint32_t StopBits = 0;  // carried only: the port always runs with one stop bit
    std::string CommPort = "COM2";
    int32_t ReadInterval = 25;
    // Hand bytes over by the quiet gap (or a full block) only, whatever framing the
    // owner sets: the slower rule, kept for comparisons. Takes effect at Open.
    bool QuietGapOnly = false;

    void SetCommsLogFileName(const std::string& name);
    const std::string& CommsLogFileName() const { return commsLogFileName_; }

    TReceiveDataEvent OnReceiveData;
    // The reader or writer gave up on the port (the device vanished, the line
    // failed). Called on the owner's thread at most once per opening; the handler
    // may close the component (and open it again).
    std::function<void(TComm32* Sender)> OnRequestHangup;
    // Line errors (framing, overrun, parity) reported by the driver, as
    // "Comm Event: ..." texts. They never reach OnReceiveData.
    std::function<void(const std::string& report)> OnLineError;

    bool Open();
    void Close() override;
    bool Write(const void* data, uint16_t length) override;
    // Any thread; takes effect for the bytes the reader has not handed over yet.
    bool SetReplyFraming(ReplyFraming framing) override;
    ReplyFraming Framing() const { return framing_.load(std::memory_order_acquire); }
    bool IsOpen() const { return line_ != nullptr; }

  private:
    friend class comm32_internal::WorkerThread;
    friend class TReadThread;

    // Called from the reader and writer threads: queue a delivery on this object.
    void PostBlock(uint64_t generation, QByteArray block);
    void PostLineError(uint64_t generation, std::string report);
    void PostHangup(uint64_t generation);

    void DeliverBlock(uint64_t generation, const QByteArray& block);
    void DeliverLineError(uint64_t generation, const std::string& report);
    void DeliverHangup(uint64_t generation);

    void StopThread(std::unique_ptr<comm32_internal::WorkerThread>& thread, const char* notExiting);
    void ReleaseHandles();

    std::string commsLogFileName_;
    std::unique_ptr<serial_system::Line> line_;
    std::unique_ptr<serial_system::Event> stop_;
    // Bumped by every Open and Close: a delivery from an earlier opening is stale.
    uint64_t generation_ = 0;
    // The opening whose hang-up request has reached the owner.
    uint64_t hangupDeliveredFor_ = 0;
    std::unique_ptr<comm32_internal::WorkerThread> reader_;
    std::unique_ptr<comm32_internal::WorkerThread> writer_;
    std::shared_ptr<comm32_internal::WriteQueue> queue_;
    // Read by the reader thread after every read from the line.
    std::atomic<ReplyFraming> framing_{ReplyFraming::QuietGap};
};

}  // namespace orvo
