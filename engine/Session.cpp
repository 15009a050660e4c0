#include "engine/Session.h"

#include <algorithm>
#include <utility>

#include "phonefs/PhoneTree.h"

namespace orvo {

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
    if (CurrentOperation != OperationState::Reading)
        return ReplyFraming::Lines;
    return Read.Framing == ReadState::BlockFraming::ByLength ? ReplyFraming::ReadBlocks
                                                             : ReplyFraming::QuietGap;
}

void Session::PortWrite(const void* data, std::size_t length) {
    if (!Port)
        return;
    Line.PortFrames = Port->SetReplyFraming(ExpectedFraming());
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
    ProgressClosed = false;
    Progress.Visible = true;
    ProgressUpdated();
}

void Session::CloseProgress() {
    ProgressClosed = true;
    // A job of several steps keeps one progress window until its end.
    if (Steps.active)
        return;
    Progress.Visible = false;
    ProgressUpdated();
}

void Session::SetQuickStatus(Text text) {
    Progress.QuickStatus = std::move(text);
    ProgressUpdated();
}

void Session::SetLongStatus(Text text) {
    Progress.LongStatus = std::move(text);
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
    WindowReleased = enabled;
    if (enabled && Steps.active)
        return;
    MainWindow.Enabled = enabled;
    if (Ui)
        Ui->MainWindowChanged();
}

void Session::SetStatusText(Text text) {
    MainWindow.StatusText = std::move(text);
    if (Ui)
        Ui->MainWindowChanged();
}

bool Session::TakePhoneName(Bytes& name) {
    if (Batch.Work.phoneNames.empty())
        return false;
    name = Batch.Work.phoneNames.front();
    Batch.Work.phoneNames.pop_front();
    Batch.Item = name;
    if (Batch.Work.onTaken)
        Batch.Work.onTaken(name);
    return true;
}

bool Session::TakeLocalPath(std::string& path) {
    if (Batch.Work.localPaths.empty())
        return false;
    path = Batch.Work.localPaths.front();
    Batch.Work.localPaths.pop_front();
    Batch.Item = path;
    if (Batch.Work.onTaken)
        Batch.Work.onTaken(path);
    return true;
}

void Session::GiveBackPhoneName(const Bytes& name) {
    Batch.Work.phoneNames.push_front(name);
    if (Batch.Work.onGivenBack)
        Batch.Work.onGivenBack(name);
}

void Session::GiveBackLocalPath(const std::string& path) {
    Batch.Work.localPaths.push_front(path);
    if (Batch.Work.onGivenBack)
        Batch.Work.onGivenBack(path);
}

void Session::BeginWork(WorkList work) {
    Batch = BatchState{};
    Batch.Work = std::move(work);
    Batch.Active = true;
}

void Session::EndWork() {
    // A batch ends once: its normal end, or the failure that stopped it.
    if (!Batch.Active)
        return;
    JobEnded ended = std::move(Batch.Work.onEnded);
    const JobResult result = std::move(Batch.Result);
    Batch = BatchState{};
    if (ended)
        ended(result);
}

bool JobResult::Succeeded() const {
    for (const JobMessage& m : messages)
        if (m.kind != MessageKind::Notice)
            return false;
    return !stopped;
}

bool Session::Quiet() const {
    return CurrentOperation == OperationState::Idle && ProgressClosed && WindowReleased;
}

void Session::StartSteps(std::deque<JobStep> steps, JobEnded onEnded) {
    Steps = StepJob();
    Steps.active = true;
    Steps.steps = std::move(steps);
    Steps.onEnded = std::move(onEnded);
    AbortRequested = false;
    // The first step opens the window; it stays open until the job ends.
    ShowProgress();
    EnableMainWindow(false);
    ProgressClosed = true;
    WindowReleased = true;
    AdvanceSteps();
}

void Session::AdvanceSteps() {
    if (!Steps.active || EngineDepth > 0 || MessageDepth > 0)
        return;
    EngineEntry entry(*this);
    while (Steps.active && CurrentOperation == OperationState::Idle) {
        // A stopped job ends as soon as nothing is awaited; otherwise each step
        // waits until the one before has given the window back.
        if (!Steps.stop && !Quiet())
            return;
        if (Steps.stop || Steps.steps.empty()) {
            JobResult result = std::move(Steps.result);
            result.stopped = result.stopped || Steps.stop;
            JobEnded ended = std::move(Steps.onEnded);
            Steps = StepJob();
            Progress.Visible = !ProgressClosed;
            MainWindow.Enabled = WindowReleased;
            ProgressUpdated();
            if (Ui)
                Ui->MainWindowChanged();
            if (ended)
                ended(result);
            return;
        }
        JobStep step = std::move(Steps.steps.front());
        Steps.steps.pop_front();
        step(*this);
    }
}

void Session::StartTransferBatch(int64_t totalBytes) {
    if (Steps.active && Steps.spanning)
        return;
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

void Session::Report(Message message) {
    const MessageKind kind = message.kind;
    if (Batch.Active)
        Batch.Result.messages.emplace_back(Batch.Item, message);
    else if (Steps.active)
        Steps.result.messages.emplace_back(Steps.item, message);
    // Without the phone nothing more of a job can be done.
    if (Steps.active && (kind == MessageKind::LineLost || kind == MessageKind::NoAnswer))
        Steps.stop = true;
    ++MessageDepth;
    try {
        if (Ui)
            Ui->Report(message);
    } catch (...) {
        --MessageDepth;
        throw;
    }
    --MessageDepth;
    // A failure outside the engine's entry points (an exception caught by the
    // front end) may have left a job between its steps.
    AdvanceSteps();
}

}  // namespace orvo
