#include "app/PhoneLink.h"

#include <QEventLoop>
#include <QStandardPaths>

#include "app/MessageTexts.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/ReceiveHandler.h"
#include "serial/SerialPorts.h"

namespace orvo {

PhoneLink::PhoneLink(Session& s) : s_(s), comm_(std::make_unique<TComm32>()) {
    // The rescue folder sits in the user's data folder: $XDG_DATA_HOME (else
    // ~/.local/share) on Linux, %LOCALAPPDATA% on Windows.
    SetRescueFolderSource([] {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        return data.isEmpty() ? std::string() : (data + "/orvo-fm/rescued").toStdString();
    });
    comm_->Bits = 8;
    comm_->StopBits = 1;
    comm_->ReadInterval = 25;
    comm_->OnReceiveData = [this](TComm32*, const uint8_t* buffer, uint16_t length) {
        trace_.Record('P', buffer, length);
        Guarded([&] { ReceiveChunk(s_, buffer, length); });
    };
    // The cable was pulled or the device vanished: the line is known to be gone.
    comm_->OnRequestHangup = [this](TComm32*) {
        const std::string port = comm_->CommPort;
        Guarded([&] { ConnectionLost(s_, port); });
    };
    watchdog_.setInterval(s_.Timer1.Interval);
    QObject::connect(&watchdog_, &QTimer::timeout,
                     [this] { Guarded([this] { WatchdogExpired(s_); }); });
    s_.Port = &port_;
    s_.Clock = this;
}

PhoneLink::~PhoneLink() {
    // The reader and writer threads must be gone before the component is.
    comm_->Close();
    watchdog_.stop();
    if (s_.Port == &port_ || s_.Port == comm_.get())
        s_.Port = nullptr;
    if (s_.Clock == this)
        s_.Clock = nullptr;
}

bool PhoneLink::Open(const std::string& port, uint32_t baud, std::string& reason) {
    reason.clear();
    comm_->CommPort = port;
    comm_->BaudRate = baud;
    try {
        if (comm_->Open()) {
            TraceHeader();
            return true;
        }
    } catch (const ECommsError& e) {
        reason = WordsUtf8(PortOpenFailureReason(port, e.Error()));
    } catch (const std::exception&) {
    }
    // A component left half open would refuse the next Open.
    comm_->Close();
    return false;
}

void PhoneLink::Close() {
    s_.TimerOff();
    TraceClosed();
    comm_->Close();
}

bool PhoneLink::StartTrace(const std::string& path, const std::string& program,
                           std::string& error) {
    StopTrace();
    if (!trace_.Open(path, error))
        return false;
    traceProgram_ = program;
    if (IsOpen())
        TraceHeader();
    return true;
}

bool PhoneLink::StopTrace() {
    if (trace_.IsOpen())
        trace_.Note("trace ended");
    trace_.Close();
    return trace_.Error().empty();
}

void PhoneLink::TraceHeader() {
    trace_.Header(traceProgram_, comm_->CommPort, comm_->BaudRate);
}

void PhoneLink::TraceClosed() {
    if (IsOpen())
        trace_.Note("port closed");
}

bool PhoneLink::TracedPort::Write(const void* data, uint16_t length) {
    if (!link_.comm_->Write(data, length))
        return false;
    link_.trace_.Record('H', data, length);
    return true;
}

void PhoneLink::TracedPort::Close() {
    link_.TraceClosed();
    link_.comm_->Close();
}

bool PhoneLink::TracedPort::SetReplyFraming(ReplyFraming framing) {
    return link_.comm_->SetReplyFraming(framing);
}

void PhoneLink::Set(bool running, int intervalMs) {
    if (!running) {
        watchdog_.stop();
    } else if (!running_ || intervalMs != interval_ || !watchdog_.isActive()) {
        watchdog_.start(intervalMs);
    }
    watchdog_.setInterval(intervalMs);
    running_ = running;
    interval_ = intervalMs;
}

bool PhoneLink::SessionIdle() const {
    return s_.CurrentOperation == OperationState::Idle && s_.MainWindow.Enabled &&
           !s_.Progress.Visible;
}

bool PhoneLink::WakePhone(int timeoutMs) {
    if (!RunAndWait([this] { InitialisePhone(s_); }, timeoutMs))
        return false;
    return IsOpen() && s_.PhoneTree && s_.CurrentFolder == s_.PhoneTree.get();
}

void PhoneLink::Abandon() {
    abandoned_ = true;
    s_.TimerOff();
    Close();
    s_.LocalFile.Close();  // a partial download never gets its name
    Guarded([this] { NoteRenameRescue(s_); });
    trace_.Flush();
    if (quitWait_)
        quitWait_();
}

bool PhoneLink::RunAndWait(const std::function<void()>& op, int timeoutMs) {
    if (abandoned_)
        return false;
    Guarded(op);
    if (SessionIdle() || !IsOpen())
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    limit.start(timeoutMs);
    quitWait_ = [&loop] { loop.quit(); };
    // Every change of the session comes from a received block, the watchdog or a
    // hang-up; each of them checks afterwards whether the wait is over.
    loop.exec();
    quitWait_ = nullptr;
    return !timedOut;
}

void PhoneLink::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        s_.Report(Message(MessageKind::LocalFile, MessageId::Verbatim, {e.what()}));
    }
    CheckDone();
}

void PhoneLink::CheckDone() {
    if (quitWait_ && (SessionIdle() || !IsOpen()))
        quitWait_();
}

}  // namespace orvo
