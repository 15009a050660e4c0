#include "engine/Session.h"

#include <algorithm>

#include "phonefs/PhoneTree.h"

void ProgressBarModel::SetMax(int v) {
    Max = v;
    if (Min > Max)
        Min = Max;
    Position = std::clamp(Position, Min, Max);
}

void ProgressBarModel::SetMin(int v) {
    Min = v;
    if (Max < Min)
        Max = Min;
    Position = std::clamp(Position, Min, Max);
}

void ProgressBarModel::SetPosition(int v) {
    Position = std::clamp(v, Min, Max);
}

void ProgressBarModel::StepIt() {
    SetPosition(Position + Step);
}

// The transfer buffers stay empty until a transfer needs them: see EnsureBuffers.
Session::Session() = default;

Session::~Session() = default;

ReplyFraming Session::ExpectedFraming() const {
    // A read's data lines may hold any byte, "\n" and "OK" included: only the quiet
    // gap, or a length learned from the read's own blocks, shows where they end.
    // Every other reply is made of short lines.
    if (CurrentOperation != Reading)
        return ReplyFraming::Lines;
    return ReadFraming == BlockFraming::ByLength ? ReplyFraming::ReadBlocks
                                                 : ReplyFraming::QuietGap;
}

void Session::PortWrite(const void* data, std::size_t length) {
    if (!Port)
        return;
    PortFrames = Port->SetReplyFraming(ExpectedFraming());
    // Callers pass command lines and blocks of at most 512 bytes; anything longer
    // still goes out whole, in pieces the port's 16-bit count can carry.
    const char* p = static_cast<const char*>(data);
    do {
        std::size_t piece = std::min<std::size_t>(length, 0xFFFF);
        Port->Write(p, static_cast<uint16_t>(piece));
        p += piece;
        length -= piece;
    } while (length > 0);
}

void Session::TimerOn() {
    if (!Timer1.Enabled) {
        Timer1.Enabled = true;
        if (Clock)
            Clock->Set(Timer1.Enabled, Timer1.Interval);
    }
}

void Session::TimerOff() {
    if (Timer1.Enabled) {
        Timer1.Enabled = false;
        if (Clock)
            Clock->Set(Timer1.Enabled, Timer1.Interval);
    }
}

void Session::SetTimerInterval(int ms) {
    Timer1.Interval = ms;
    if (Clock)
        Clock->Set(Timer1.Enabled, Timer1.Interval);
}

void Session::ShowProgress() {
    Progress.Visible = true;
    ProgressUpdated();
}

void Session::CloseProgress() {
    Progress.Visible = false;
    ProgressUpdated();
}

void Session::SetQuickStatus(const std::string& utf8) {
    Progress.QuickStatus = utf8;
    ProgressUpdated();
}

void Session::SetLongStatus(const std::string& utf8) {
    Progress.LongStatus = utf8;
    ProgressUpdated();
}

// Progress reaches the window and the sink at most ten times a second.
bool Session::Due(std::chrono::steady_clock::time_point& last) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(100))
        return false;
    last = now;
    return true;
}

void Session::ProgressUpdated() {
    progressShown_ = std::chrono::steady_clock::now();
    if (Ui)
        Ui->ProgressChanged();
}

void Session::ProgressStepped() {
    if (Due(progressShown_) && Ui)
        Ui->ProgressChanged();
}

void Session::EnableMainWindow(bool enabled) {
    MainWindow.Enabled = enabled;
    if (Ui)
        Ui->MainWindowChanged();
}

void Session::SetStatusText(const std::string& utf8) {
    MainWindow.StatusText = utf8;
    if (Ui)
        Ui->MainWindowChanged();
}

bool Session::TakePhoneName(Bytes& name) {
    if (Work.phoneNames.empty())
        return false;
    name = Work.phoneNames.front();
    Work.phoneNames.pop_front();
    if (Work.onTaken)
        Work.onTaken(name);
    return true;
}

bool Session::TakeLocalPath(std::string& path) {
    if (Work.localPaths.empty())
        return false;
    path = Work.localPaths.front();
    Work.localPaths.pop_front();
    if (Work.onTaken)
        Work.onTaken(path);
    return true;
}

void Session::GiveBackPhoneName(const Bytes& name) {
    Work.phoneNames.push_front(name);
    if (Work.onGivenBack)
        Work.onGivenBack(name);
}

void Session::GiveBackLocalPath(const std::string& path) {
    Work.localPaths.push_front(path);
    if (Work.onGivenBack)
        Work.onGivenBack(path);
}

void Session::EndWork() {
    std::function<void()> ended = std::move(Work.onEnded);
    Work = WorkList();
    if (ended)
        ended();
}

void Session::StartTransferBatch(int64_t totalBytes) {
    Transfer = TransferProgress();
    Transfer.batchTotal = std::max<int64_t>(totalBytes, 0);
}

void Session::StartTransferFile(const std::string& utf8Name, int64_t totalBytes) {
    Transfer.file = utf8Name;
    Transfer.fileDone = 0;
    Transfer.fileTotal = std::max<int64_t>(totalBytes, 0);
    if (ProgressSink)
        ProgressSink->TransferProgressed(Transfer);
}

void Session::TransferMoved(int64_t bytes) {
    if (bytes <= 0)
        return;
    Transfer.fileDone += bytes;
    Transfer.batchDone += bytes;
    // The end of each file always counts; the bytes on the way only now and then.
    if (ProgressSink && (Transfer.fileDone >= Transfer.fileTotal || Due(transferShown_)))
        ProgressSink->TransferProgressed(Transfer);
}

void Session::RestartTransferFile() {
    Transfer.batchDone -= Transfer.fileDone;
    Transfer.fileDone = 0;
    if (ProgressSink)
        ProgressSink->TransferProgressed(Transfer);
}

void Session::Message(MessageKind kind, const std::string& text, const std::string& caption) {
    if (Ui)
        Ui->Report(kind, text, caption);
}
