#include "serial/Comm32.h"

#include <QMetaObject>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "protocol/Framing.h"
#include "serial/Misc.h"
#include "serial/SystemLine.h"

namespace orvo {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBlockSize = 2048;
constexpr int kWriteTimeoutMs = 5000;
constexpr int kJoinTimeoutMs = 5000;

using serial_system::Event;
using serial_system::Line;

// Milliseconds left until `deadline`, rounded up so that a wait never ends early.
int MillisecondsUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
}

}  // namespace

// ---------------------------------------------------------------------------
// Line errors

uint32_t LineErrorFlags(const LineErrorCounters& before, const LineErrorCounters& after) {
    uint32_t flags = 0;
    if (after.frame != before.frame) {
        flags |= kLineFrame;
    }
    if (after.overrun != before.overrun) {
        flags |= kLineOverrun;
    }
    if (after.parity != before.parity) {
        flags |= kLineParity;
    }
    if (after.brk != before.brk) {
        flags |= kLineBreak;
    }
    return flags;
}

std::string FormatLineErrorReport(uint32_t flags) {
    std::string list;
    if (flags == 0) {
        list = "NULL Error";
    }
    auto add = [&list](const char* name) {
        if (!list.empty()) {
            list += " and ";
        }
        list += name;
    };
    if (flags & kLineFrame) {
        add("CE_FRAME");
    }
    if (flags & kLineOverrun) {
        add("CE_OVERRUN");
    }
    if (flags & kLineParity) {
        add("CE_RXPARITY");
    }
    if (flags & ~(kLineFrame | kLineOverrun | kLineParity)) {
        add("EV_ERR Unknown EvtMask");
    }
    return "Comm Event: " + list + ", EvtMask = " + std::to_string(flags);
}

// ---------------------------------------------------------------------------
// Worker threads

namespace comm32_internal {

WorkerThread::WorkerThread(TComm32* owner, Line* line, const Event* stop, uint64_t generation)
    : owner_(owner), line_(line), stop_(stop), generation_(generation) {}

WorkerThread::~WorkerThread() {
    Join();
}

void WorkerThread::Start() {
    thread_ = std::thread(&WorkerThread::Body, this);
}

void WorkerThread::Body() {
    try {
        Run();
    } catch (...) {
        // The threads never raise: whatever went wrong ends this thread only.
    }
    std::lock_guard<std::mutex> lock(m_);
    finished_ = true;
    cv_.notify_all();
}

bool WorkerThread::WaitFinished(int ms) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished_; });
}

void WorkerThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void WorkerThread::PostHangup() {
    if (hangupPosted_) {
        return;
    }
    hangupPosted_ = true;
    owner_->PostHangup(generation_);
}

bool WorkerThread::StopRequested() const {
    return stop_->IsSet();
}

WriteQueue::WriteQueue() : wake(std::make_unique<Event>()) {}

WriteQueue::~WriteQueue() = default;

bool WriteQueue::Valid() const {
    return wake->Valid();
}

bool WriteQueue::Push(std::vector<uint8_t> request) {
    {
        std::lock_guard<std::mutex> lock(m);
        if (shut) {
            return false;
        }
        requests.push_back(std::move(request));
    }
    wake->Set();
    return true;
}

bool WriteQueue::Pop(std::vector<uint8_t>& request) {
    std::lock_guard<std::mutex> lock(m);
    if (requests.empty()) {
        return false;
    }
    request = std::move(requests.front());
    requests.pop_front();
    return true;
}

void WriteQueue::Shut() {
    std::lock_guard<std::mutex> lock(m);
    shut = true;
    requests.clear();
}

}  // namespace comm32_internal

// ---------------------------------------------------------------------------
// Reader

TReadThread::TReadThread(TComm32* owner, Line* line, const Event* stop, uint64_t generation,
                         int32_t readInterval, bool quietGapOnly)
    : WorkerThread(owner, line, stop, generation),
      readInterval_(readInterval),
      quietGapOnly_(quietGapOnly) {}

bool TReadThread::PostReceivedData(const uint8_t* data, std::size_t count) {
    if (count == 0) {
        return false;
    }
    CommLog("Got something from Comm port!!!");
    QByteArray block;
    try {
        // QByteArray keeps a zero byte after its data, as the owner expects.
        block = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
    } catch (const std::bad_alloc&) {
        LogSystemError(ENOMEM, "LocalAlloc: ");
        return false;
    }
    owner_->PostBlock(generation_, std::move(block));
    return true;
}

void TReadThread::CheckLineErrors() {
    if (!countersSupported_) {
        return;
    }
    LineErrorCounters now;
    if (line_->ReadErrorCounters(now) != serial_system::CountersState::Counted) {
        countersSupported_ = false;
        return;
    }
    uint32_t flags = LineErrorFlags(counters_, now);
    counters_ = now;
    if (flags != 0) {
        owner_->PostLineError(generation_, FormatLineErrorReport(flags));
    }
}

void TReadThread::Run() {
    serial_system::RaiseThreadPriority(2);
    countersSupported_ =
        line_->ReadErrorCounters(counters_) == serial_system::CountersState::Counted;

    uint8_t buffer[kReadBlockSize];
    std::size_t count = 0;
    Clock::time_point idleDeadline;
    bool waitLogged = false;

    for (;;) {
        int timeout = -1;  // idle: wait for the first byte of a block without limit
        if (count > 0) {
            timeout = MillisecondsUntil(idleDeadline);
            if (timeout == 0) {
                // The line has been quiet for ReadInterval: the block is complete.
                bool posted = PostReceivedData(buffer, count);
                count = 0;
                if (!posted) {
                    PostHangup();
                    CommLog("Unable to HandleReadEvent: out of memory");
                    break;
                }
                continue;
            }
        } else if (!waitLogged) {
            CommLog("Waiting for data from comm connection.");
            waitLogged = true;
        }

        const Line::ReadResult got =
            line_->Read(buffer + count, sizeof buffer - count, timeout, *stop_);
        if (got.status == Line::ReadStatus::Stop) {
            DebugOutput("Time to Exit");
            break;
        }
        if (got.status == Line::ReadStatus::Failed) {
            PostHangup();
            break;
        }
        CheckLineErrors();
        if (got.status == Line::ReadStatus::Timeout) {
            continue;  // idle time over: the block is posted at the top of the loop
        }
        if (got.status == Line::ReadStatus::Data) {
            count += got.count;
            waitLogged = false;
            idleDeadline = Clock::now() + std::chrono::milliseconds(readInterval_);
            // Complete replies go at once; the rest waits for more bytes or the gap.
            std::size_t ready = count;
            if (count < sizeof buffer && readInterval_ > 0) {
                ready = quietGapOnly_ ? 0 : FramedReplyEnd(owner_->Framing(), buffer, count);
            }
            if (ready > 0) {
                bool posted = PostReceivedData(buffer, ready);
                std::memmove(buffer, buffer + ready, count - ready);
                count -= ready;
                if (!posted) {
                    PostHangup();
                    CommLog("Unable to HandleReadEvent: out of memory");
                    break;
                }
            }
            continue;
        }
        // The device is gone (unplugged, or the far side of the line closed). What
        // arrived before still reaches the owner; then the reader asks to hang up
        // once and ends, so that a dead line never makes it spin.
        if (count > 0) {
            PostReceivedData(buffer, count);
            count = 0;
        }
        CommLog(got.failure);
        PostHangup();
        break;
    }

    CommLog("Read thread shutting down");
    line_->Purge(true, false);
}

// ---------------------------------------------------------------------------
// Writer

TWriteThread::TWriteThread(TComm32* owner, Line* line, const Event* stop, uint64_t generation,
                           std::shared_ptr<comm32_internal::WriteQueue> queue)
    : WorkerThread(owner, line, stop, generation), queue_(std::move(queue)) {}

bool TWriteThread::SendBuffer(const uint8_t* data, std::size_t count) {
    if (count == 0) {
        return true;
    }
    switch (line_->Write(data, count, kWriteTimeoutMs, *stop_)) {
        case Line::WriteStatus::Done:
            return true;
        case Line::WriteStatus::Stopped:
            return false;
        case Line::WriteStatus::Failed:
            break;
    }
    PostHangup();
    return false;
}

void TWriteThread::Run() {
    serial_system::RaiseThreadPriority(1);
    for (;;) {
        int r = Event::WaitEither(*stop_, *queue_->wake, -1);
        if (r == -2) {
            LogSystemError(EIO, "Write WAIT_FAILED: ");
            PostHangup();
            break;
        }
        if (r == 0) {
            break;
        }
        if (r == 1) {
            queue_->wake->Clear();
        }
        bool ok = true;
        std::vector<uint8_t> request;
        while (ok && queue_->Pop(request)) {
            if (StopRequested()) {
                ok = false;
                break;
            }
            CommLog("Writing to comm port");
            ok = SendBuffer(request.data(), request.size());
        }
        if (!ok) {
            break;
        }
    }
    CommLog("Write thread shutting down");
    queue_->Shut();  // later requests are refused; queued ones are dropped unsent
    line_->Purge(false, true);
}

// ---------------------------------------------------------------------------
// Component

TComm32::TComm32(QObject* owner) : QObject(owner) {
    SetCommLogName(std::string());
}

TComm32::~TComm32() {
    try {
        Close();
    } catch (...) {
    }
}

void TComm32::SetCommsLogFileName(const std::string& name) {
    commsLogFileName_ = name;
    SetCommLogName(name);
}

bool TComm32::Open() {
    if (line_) {
        throw ECommsError("Порт уже открыт");
    }
    OpenCommLog();  // a log that cannot be created raises before the port is touched

    std::unique_ptr<Line> line;
    try {
        line = Line::Open(CommPort, BaudRate, Bits);
    } catch (const ECommsError&) {
        CloseCommLog();
        throw;
    }

    std::unique_ptr<Event> stop;
    std::shared_ptr<comm32_internal::WriteQueue> queue;
    int stopErr = ENOMEM;
    try {
        stop = std::make_unique<Event>();
        stopErr = stop->Error();
        if (stop->Valid()) {
            queue = std::make_shared<comm32_internal::WriteQueue>();
            if (!queue->Valid()) {
                stopErr = queue->wake->Error();
                queue.reset();
            }
        }
    } catch (const std::bad_alloc&) {
        stopErr = ENOMEM;
    }
    if (!stop || !stop->Valid() || !queue) {
        LogSystemError(stopErr, "Unable to CreateEvent: ");
        line.reset();
        CloseCommLog();
        return false;
    }

    line_ = std::move(line);
    stop_ = std::move(stop);
    queue_ = std::move(queue);
    ++generation_;
    // Nothing is awaited yet on a new opening: the quiet gap until the owner says.
    framing_.store(ReplyFraming::QuietGap, std::memory_order_release);

    try {
        reader_ = std::make_unique<TReadThread>(this, line_.get(), stop_.get(), generation_,
                                                ReadInterval, QuietGapOnly);
        reader_->Start();
    } catch (const std::system_error& e) {
        reader_.reset();
        LogSystemError(e.code().value(), "Unable to create Read thread");
        throw ECommsError("Unable to create Read thread", e.code().value());
    }
    try {
        writer_ =
            std::make_unique<TWriteThread>(this, line_.get(), stop_.get(), generation_, queue_);
        writer_->Start();
    } catch (const std::system_error& e) {
        writer_.reset();
        LogSystemError(e.code().value(), "Unable to create Write thread");
        throw ECommsError("Unable to create Write thread", e.code().value());
    }
    return true;
}

void TComm32::StopThread(std::unique_ptr<comm32_internal::WorkerThread>& thread,
                         const char* notExiting) {
    if (!thread) {
        return;
    }
    if (!thread->WaitFinished(kJoinTimeoutMs)) {
        // A thread cannot be killed safely: say so and keep waiting for it.
        CommLog(notExiting);
    }
    thread->Join();
    thread.reset();
}

void TComm32::Close() {
    if (!line_) {
        return;
    }
    CommLog("Stopping the Comm");

    CommLog("Closing Read Thread ");
    stop_->Set();  // stays set: both threads see it
    line_->Purge(true, false);
    StopThread(reader_, "Read thread not exiting.  Terminating it.");

    CommLog("Closing Write Thread");
    line_->Purge(false, true);
    StopThread(writer_, "Write thread not exiting.  Terminating it.");

    ReleaseHandles();
    ++generation_;  // blocks still on their way belong to this opening: drop them
    CloseCommLog();
}

void TComm32::ReleaseHandles() {
    queue_.reset();
    stop_.reset();
    line_.reset();
}

bool TComm32::Write(const void* data, uint16_t length) {
    if (!writer_ || !queue_) {
        CommLog("Write thread not created");
        return false;
    }
    try {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        std::vector<uint8_t> request;
        if (length > 0) {
            request.assign(bytes, bytes + length);
        }
        if (queue_->Push(std::move(request))) {
            return true;
        }
    } catch (const std::bad_alloc&) {
    }
    CommLog("Failed to Post to Write thread. ");
    return false;
}

bool TComm32::SetReplyFraming(ReplyFraming framing) {
    framing_.store(framing, std::memory_order_release);
    return !QuietGapOnly;
}

// ---------------------------------------------------------------------------
// Delivery to the owner's thread

namespace {

// A queued call carries its bytes from a worker thread to the owner's thread
// through Qt's event queue. Qt's own locks are invisible to ThreadSanitizer (Qt is
// not built with it), which then takes every such hand-over for a data race. The
// call is therefore posted, and taken up, under this mutex as well: an ordering
// every tool can see, at the cost of one uncontended lock per block.
std::mutex& HandOverMutex() {
    static std::mutex m;
    return m;
}

}  // namespace

void TComm32::PostBlock(uint64_t generation, QByteArray block) {
    std::lock_guard<std::mutex> handOver(HandOverMutex());
    QMetaObject::invokeMethod(
        this,
        [this, generation, block = std::move(block)] {
            { std::lock_guard<std::mutex> takenUp(HandOverMutex()); }
            DeliverBlock(generation, block);
        },
        Qt::QueuedConnection);
}

void TComm32::PostLineError(uint64_t generation, std::string report) {
    std::lock_guard<std::mutex> handOver(HandOverMutex());
    QMetaObject::invokeMethod(
        this,
        [this, generation, report = std::move(report)] {
            { std::lock_guard<std::mutex> takenUp(HandOverMutex()); }
            DeliverLineError(generation, report);
        },
        Qt::QueuedConnection);
}

void TComm32::PostHangup(uint64_t generation) {
    std::lock_guard<std::mutex> handOver(HandOverMutex());
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            { std::lock_guard<std::mutex> takenUp(HandOverMutex()); }
            DeliverHangup(generation);
        },
        Qt::QueuedConnection);
}

// Received data is handed over whatever it contains; only blocks of an earlier
// opening (still queued when the port was closed) are dropped.
void TComm32::DeliverBlock(uint64_t generation, const QByteArray& block) {
    if (generation != generation_ || !line_ || !OnReceiveData) {
        return;
    }
    // A copy: the handler may rebind OnReceiveData while it runs.
    TReceiveDataEvent handler = OnReceiveData;
    handler(this, reinterpret_cast<const uint8_t*>(block.constData()),
            static_cast<uint16_t>(block.size()));
}

void TComm32::DeliverLineError(uint64_t generation, const std::string& report) {
    if (generation != generation_ || !line_ || !OnLineError) {
        return;
    }
    auto handler = OnLineError;
    handler(report);
}

// Both threads may ask to hang up; the owner hears of it once per opening. The
// handler may close the component: the thread that posted the request has ended or
// is ending, and the other one ends at the stop event, so the joins return.
void TComm32::DeliverHangup(uint64_t generation) {
    if (generation != generation_ || !line_ || !OnRequestHangup ||
        hangupDeliveredFor_ == generation) {
        return;
    }
    hangupDeliveredFor_ = generation;
    auto handler = OnRequestHangup;
    handler(this);
}

}  // namespace orvo
