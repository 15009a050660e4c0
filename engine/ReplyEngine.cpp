#include "engine/ReplyEngine.h"

#include <algorithm>
#include <string>

#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/JavaRegistry.h"
#include "engine/Navigation.h"
#include "engine/PhoneCommands.h"
#include "engine/Replies.h"
#include "phonefs/CodePage.h"
#include "phonefs/PhoneTree.h"

namespace orvo {

namespace {

const Bytes kOk = "OK\r\n";
const Bytes kPrompt = "##>\r\n";

bool IsErrorLine(const Bytes& line) {
    return line.find("+CME ERROR: ") != Bytes::npos;
}
bool IsListLine(const Bytes& line) {
    return line.find("+FSDL: ") != Bytes::npos;
}
bool IsReadHeader(const Bytes& line) {
    return line.rfind("+FSFR: 0", 0) == 0;
}
bool IsDataLine(const Bytes& line) {
    return line.find("+FSFR: ") != Bytes::npos;
}
bool StartsWith(const Bytes& line, const char* prefix) {
    return line.rfind(prefix, 0) == 0;
}
MessageId BadReplyText(ReplyFault fault) {
    switch (fault) {
        case ReplyFault::NotANumber:
            return MessageId::BadReplyNotANumber;
        case ReplyFault::LongerThanSaid:
            return MessageId::BadReplyLongerThanSaid;
        case ReplyFault::NoLineEnd:
            return MessageId::BadReplyNoLineEnd;
        case ReplyFault::EarlyOk:
            break;
    }
    return MessageId::BadReplyEarlyOk;
}
bool EndsWithLineEnd(const Bytes& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

// Ends the running operation after a reply or a local file failure the engine
// cannot go on from: nothing more is awaited, so the window is given back.
void EndOperation(Session& s, Message message) {
    // What is left of the bad reply must not be read as the next command's.
    s.ReceiveBuffer.clear();
    s.Line.HeldMarkerStale = true;
    s.CurrentOperation = OperationState::Idle;
    s.OperationStep = 0;
    s.RereadAfterError = false;
    s.TimerOff();
    s.LocalFile.Close();
    s.CloseProgress();
    s.EnableMainWindow(true);
    s.Report(std::move(message));
    s.EndWork();
    NoteRenameRescue(s);
}

// Drops the bytes received so far, with any marker start held back behind them.
void DropReceived(Session& s) {
    s.ReceiveBuffer.clear();
    s.Line.HeldMarkerStale = true;
}

// Hands over to the batch; without one there is nothing left to wait for.
void ContinueBatch(Session& s) {
    if (s.BatchStep) {
        s.BatchStep(s);
        return;
    }
    s.CurrentOperation = OperationState::Idle;
    s.CloseProgress();
    s.EnableMainWindow(true);
}

void AddListedFile(PhoneNode* folder, const Bytes& line) {
    Bytes utf8;
    int32_t size = 0;
    ParseListEntry(line, utf8, size);
    if (size == 0 || !folder)
        return;
    Bytes ansi;
    // A name the model's code page cannot hold is left out, never mangled.
    if (!Utf8ToAnsi(utf8, ansi))
        return;
    AddFile(folder, ansi, size);
}

PhoneNode* CachedFolder(Session& s) {
    if (s.QueuePosition < 0 || s.QueuePosition >= kFolderQueueSize)
        return nullptr;
    return s.FolderQueue[s.QueuePosition];
}

// Checks the downloaded file against the checksum of the read header, reading it
// back piece by piece so a file of any size is verified. A download into a
// temporary file takes its final name only when the checksum matches; otherwise
// it is removed and the destination folder stays as it was.
void FinishDownload(Session& s) {
    if (s.LocalFile.HoldsTemporary()) {
        const bool good = s.ExpectedCrc == static_cast<int64_t>(LocalFileCrc32(s));
        if (good) {
            try {
                s.LocalFile.CommitTemporary();
            } catch (const IoError& e) {
                // The computer would not take the file under its name (a name
                // its file system refuses, a folder in the way): this file ends
                // here, the batch goes on.
                s.LocalFile.Close();
                s.Report(Message(MessageKind::LocalFile, MessageId::FileNotSaved,
                                 {s.DownloadTarget, e.what()}));
                return;
            }
            s.LocalFile.Close();
            if (s.Batch.Active && s.Batch.Work.onSaved)
                s.Batch.Work.onSaved(s.Batch.Item, s.DownloadTarget,
                                     static_cast<uint32_t>(s.ExpectedCrc));
            return;
        }
        s.LocalFile.Close();
        s.Report(Message(MessageKind::Checksum, MessageId::ChecksumFailedNotSaved,
                         {s.DownloadTarget}, MessageId::CaptionErrorLatin));
        return;
    }
    s.LocalFile.Close();
    s.LocalFile.OpenRead(s.DownloadTarget);
    uint32_t crc = LocalFileCrc32(s);
    s.LocalFile.Close();
    if (s.ExpectedCrc != static_cast<int64_t>(crc))
        s.Report(Message(MessageKind::Checksum, MessageId::ChecksumFailed, {},
                         MessageId::CaptionErrorLatin));
}

Text Counter(MessageId what, const Session& s) {
    return Text(
        what, {std::to_string(s.Progress.ProgressBar2.Position + 1), std::to_string(s.BatchTotal)});
}

// --- what each state makes of a line -----------------------------------------

Scan CountResetAnswer(Session& s) {
    // Answers are counted here; the caching pass waits for a quiet line.
    ++s.Wake.ResetsAnswered;
    s.Wake.Settling = true;
    return Scan::More;
}

Scan ListingDone(Session& s) {
    s.TimerOff();
    ShowFolder(s, s.CurrentFolder);
    // The listing is over even when the folder holds no file.
    s.CurrentOperation = OperationState::Idle;
    s.RereadAfterError = false;
    s.SetStatusText(Text(MessageId::StatusIdle));
    s.CloseProgress();
    s.EnableMainWindow(true);
    return Scan::Done;
}

Scan ListedFile(Session& s, const Bytes& line) {
    if (IsListLine(line))
        AddListedFile(s.CurrentFolder, line);
    return Scan::More;
}

Scan ReadDone(Session& s) {
    if (RereadFailedLengthFramedRead(s))
        return Scan::Done;
    s.CurrentOperation = OperationState::Idle;
    const uint32_t link = s.LinkEpoch;
    FinishDownload(s);
    s.TimerOff();
    // The line may have gone while the checksum message was open.
    if (s.LinkEpoch == link)
        ContinueBatch(s);
    return Scan::Done;
}

Scan ReadLine(Session& s, const Bytes& line) {
    if (IsReadHeader(line)) {
        s.ExpectedCrc = ParseReadHeader(line);
        s.Read.AnnouncedSize = std::max(s.Read.AnnouncedSize, ParseReadHeaderSize(line));
    } else if (IsDataLine(line)) {
        // The data line runs to the end of what has arrived: file bytes may hold
        // "\n" themselves. Wait until its line end is in.
        Bytes block = line + s.ReceiveBuffer;
        if (!EndsWithLineEnd(block)) {
            s.ReceiveBuffer = std::move(block);
            return Scan::Incomplete;
        }
        // Those bytes are file data: never read them again as replies.
        s.ReceiveBuffer.clear();
        s.TransferMoved(static_cast<int64_t>(StoreDataBlock(s, block)));
        s.Progress.ProgressBar1.StepIt();
        s.ProgressStepped();
        s.TimerOn();
    }
    return Scan::More;
}

Scan WriteDone(Session& s) {
    s.CurrentOperation = OperationState::Idle;
    s.LocalFile.Close();
    s.Progress.ProgressBar1.SetPosition(0);
    s.Progress.ProgressBar2.StepIt();
    s.SetLongStatus(Counter(MessageId::CopyingFileOf, s));
    s.TimerOff();
    if (s.Batch.Active && s.Batch.Work.onWritten)
        s.Batch.Work.onWritten(s.Batch.Item);
    ContinueBatch(s);
    return Scan::Done;
}

Scan WritePrompt(Session& s, const Bytes& line) {
    if (line != kPrompt)
        return Scan::More;
    s.Progress.ProgressBar1.StepIt();
    s.ProgressStepped();
    SendWriteBlock(s);
    s.TimerOn();
    DropReceived(s);
    return Scan::Done;
}

Scan EraseDone(Session& s) {
    s.TimerOff();
    s.Progress.ProgressBar1.StepIt();
    s.Progress.ProgressBar2.StepIt();
    s.SetLongStatus(Counter(MessageId::DeletingFileOf, s));
    s.CurrentOperation = OperationState::Idle;
    ContinueBatch(s);
    return Scan::Done;
}

Scan RegistryOk(Session& s) {
    return JavaRegistryReply(s, false) ? Scan::Done : Scan::More;
}

Scan RegistryPrompt(Session& s, const Bytes& line) {
    return line == kPrompt && JavaRegistryReply(s, true) ? Scan::Done : Scan::More;
}

Scan CachedListingDone(Session& s) {
    ++s.QueuePosition;
    s.Progress.ProgressBar1.StepIt();
    s.ProgressStepped();
    s.TimerOff();
    RequestNextListing(s);
    // A pass that has listed every folder ends a re-read after an error.
    if (s.CurrentOperation != OperationState::Caching)
        s.RereadAfterError = false;
    return Scan::Done;
}

Scan CachedFile(Session& s, const Bytes& line) {
    if (IsListLine(line))
        AddListedFile(CachedFolder(s), line);
    return Scan::More;
}

Scan FolderChanged(Session& s) {
    s.TimerOff();
    ContinueBatch(s);
    return Scan::Done;
}

Scan Overwritten(Session& s) {
    s.CurrentOperation = OperationState::Idle;
    ContinueBatch(s);
    return Scan::Done;
}

// --- what the watchdog does when the phone falls silent -----------------------

// Tells of the silence and starts the connection over (settings, port, wake-up).
void GiveUpConnection(Session& s, const OperationRow& row) {
    s.Report(Message(MessageKind::NoAnswer, row.silent, {}, row.silentCaption));
    if (s.Port)
        s.Port->Close();
    NoteRenameRescue(s);
    if (s.Ui)
        s.Ui->RestartConnection();
}

// Waking: another reset while the phone has not answered, up to eleven more; the
// quiet line after an answer starts the caching pass.
void WakeSilence(Session& s, const OperationRow& row) {
    if (s.Wake.Settling) {
        FinishReset(s);
    } else if (s.OperationStep <= 10) {
        ++s.OperationStep;
        ++s.Wake.ResetsSent;
        SendPhoneCommand(s, PhoneCommand::Reset, Bytes());
        s.TimerOn();
    } else {
        // The connection is given up: an "OK" arriving while the message is open
        // must not start a caching pass on a port about to close.
        s.CurrentOperation = OperationState::Idle;
        GiveUpConnection(s, row);
    }
}

// Ends an operation whose reply never came, leaving the window usable.
void EndSilentOperation(Session& s, const OperationRow& row) {
    s.CurrentOperation = OperationState::Idle;
    s.RereadAfterError = false;
    s.LocalFile.Close();
    s.Report(Message(MessageKind::NoAnswer, row.silent, {}, row.silentCaption));
    s.EndWork();
    s.CloseProgress();
    s.EnableMainWindow(true);
    NoteRenameRescue(s);
}

// A caching pass the phone does not answer: the port is closed at once.
void CachingSilence(Session& s, const OperationRow& row) {
    if (s.Port)
        s.Port->Close();
    s.CurrentOperation = OperationState::Idle;
    s.RereadAfterError = false;
    s.CloseProgress();
    s.Report(Message(MessageKind::NoAnswer, row.silent, {}, row.silentCaption));
    NoteRenameRescue(s);
    if (s.Ui)
        s.Ui->RestartConnection();
}

// --- the operation table ------------------------------------------------------

const char* const kListPrefix = "+FSDL: ";
const char* const kReadPrefix = "+FSFR: ";
constexpr MessageId kError = MessageId::CaptionError;
constexpr MessageId kErrorLatin = MessageId::CaptionErrorLatin;
constexpr MessageId kNoAnswer = MessageId::PhoneNotAnswering;

// clang-format off
const OperationRow kOperations[] = {
    // state                          own lines    errors  refused (with the phone's code)       silent                           caption      "OK"               other lines     silence
    {OperationState::Initialising,   nullptr,     false,  MessageId::PhoneErrorInitialising,    MessageId::WaitTimedOut,         kError,      CountResetAnswer,  nullptr,        WakeSilence},
    {OperationState::Listing,        kListPrefix, true,   MessageId::PhoneErrorListing,         MessageId::ConnectionErrorRead,  kError,      ListingDone,       ListedFile,     EndSilentOperation},
    {OperationState::Reading,        kReadPrefix, true,   MessageId::PhoneErrorReading,         MessageId::ConnectionErrorWrite, kErrorLatin, ReadDone,          ReadLine,       EndSilentOperation},
    {OperationState::Writing,        nullptr,     true,   MessageId::PhoneErrorWriting,         kNoAnswer,                       kError,      WriteDone,         WritePrompt,    EndSilentOperation},
    {OperationState::Erasing,        nullptr,     true,   MessageId::PhoneErrorErasing,         kNoAnswer,                       kError,      EraseDone,         nullptr,        EndSilentOperation},
    {OperationState::CompilingJava,  nullptr,     true,   MessageId::PhoneErrorCompilingJava,   kNoAnswer,                       kError,      RegistryOk,        RegistryPrompt, EndSilentOperation},
    {OperationState::Caching,        kListPrefix, true,   MessageId::PhoneErrorCaching,         kNoAnswer,                       kError,      CachedListingDone, CachedFile,     CachingSilence},
    {OperationState::ChangingFolder, nullptr,     true,   MessageId::PhoneErrorChangingFolder,  kNoAnswer,                       kError,      FolderChanged,     nullptr,        EndSilentOperation},
    {OperationState::Overwriting,    nullptr,     true,   MessageId::PhoneErrorOverwriting,     kNoAnswer,                       kError,      Overwritten,       nullptr,        EndSilentOperation},
};
// clang-format on

// An error report of the phone, and not one of the state's own lines, whose names
// or file bytes may spell the error mark.
bool EndsWithRefusal(const OperationRow& row, const Bytes& line) {
    return row.errorsEnd && IsErrorLine(line) && !(row.ownLines && StartsWith(line, row.ownLines));
}

// Takes lines until one ends the scan for the current state and acts on it.
Scan RunScan(Session& s) {
    for (;;) {
        Bytes line = TakeLine(s);
        if (line.empty())
            return Scan::Incomplete;
        // The state may change under the scan, to one without replies.
        const OperationRow* row = OperationRowFor(s.CurrentOperation);
        if (!row)
            return Scan::Done;
        Scan next = Scan::More;
        if (EndsWithRefusal(*row, line)) {
            ReportPhoneError(s, line);
            next = Scan::Done;
        } else if (line == kOk) {
            next = row->onOk(s);
        } else if (row->onLine) {
            next = row->onLine(s, line);
        }
        if (next != Scan::More)
            return next;
    }
}

// A reply line is short and a data line holds one block: bytes piling up with no
// line end mean the phone is not speaking the protocol.
constexpr std::size_t kLongestPendingReply = 8192;

// More bytes in a read than the file and the framing of its blocks can account for.
bool ReadOverflows(const Session& s) {
    const int64_t size = std::max<int64_t>(s.Read.AnnouncedSize, 0);
    return s.Read.BytesReceived > size + size / 8 + 4096;
}

// Chunks received while waiting for a quiet line after the reset, at the most.
constexpr int kSettleChunksMax = 64;

}  // namespace

void ProcessReplies(Session& s) {
    const OperationState state = s.CurrentOperation;
    if (state == OperationState::Idle) {
        // Everything received while idle is dropped.
        DropReceived(s);
        return;
    }
    if (!OperationRowFor(state))
        return;

    s.TimerOff();
    if (state == OperationState::Initialising) {
        RunScan(s);
        if (s.Wake.Settling) {
            // A phone that never falls quiet is not waited for without end.
            if (++s.Wake.SettleChunks > kSettleChunksMax) {
                FinishReset(s);
                return;
            }
            s.SetTimerInterval(s.Wake.ResetsAnswered >= s.Wake.ResetsSent ? kSettleQuietMs
                                                                          : kSettleLateMs);
        }
        // The watchdog restarts with every chunk.
        s.TimerOn();
        return;
    }
    try {
        if (state == OperationState::Reading && ReadOverflows(s))
            throw ConversionError(ReplyFault::LongerThanSaid, std::to_string(s.Read.AnnouncedSize));
        Scan result = RunScan(s);
        if (result == Scan::Incomplete && s.ReceiveBuffer.size() > kLongestPendingReply)
            throw ConversionError(ReplyFault::NoLineEnd, std::to_string(s.ReceiveBuffer.size()));
        if (result == Scan::Incomplete)
            s.TimerOn();
    } catch (const ConversionError& e) {
        EndOperation(s, Message(MessageKind::BadReply, BadReplyText(e.fault), {e.detail}));
    } catch (const IoError& e) {
        EndOperation(s, Message(MessageKind::LocalFile, MessageId::LocalFileFailed, {e.what()}));
    }
}

const OperationRow* OperationRowFor(OperationState state) {
    for (const OperationRow& row : kOperations)
        if (row.state == state)
            return &row;
    return nullptr;
}

void ProcessSilence(Session& s) {
    if (const OperationRow* row = OperationRowFor(s.CurrentOperation))
        row->onSilence(s, *row);
}

void FinishReset(Session& s) {
    s.Wake.Settling = false;
    s.CurrentOperation = OperationState::Idle;
    s.TimerOff();
    DropReceived(s);
    s.ShowProgress();
    StartFolderCaching(s);
}

}  // namespace orvo
