// The shared operation state of the phone link and the seams through which the
// protocol core reaches the serial port and the user interface.
//
// Everything that talks to the phone runs on the user-interface thread and works
// on one Session: the reply engine, the starters of the file operations, the
// batch steps, the receive handler and the watchdog. The Qt widgets implement the
// small interfaces below; tests implement them with recording fakes.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/LocalFile.h"
#include "engine/Messages.h"
#include "phonefs/SuitesList.h"
#include "protocol/Port.h"
#include "protocol/ReplyParsing.h"
#include "protocol/WatchdogClock.h"

namespace orvo {

// Which reply is awaited. The numbers are fixed: error texts and the watchdog key on them.
enum class OperationState : int32_t {
    Initialising = 0,
    Listing = 1,
    Reading = 2,
    Writing = 3,
    Erasing = 4,
    CompilingJava = 5,
    Caching = 6,
    ChangingFolder = 8,
    Overwriting = 10,
    Idle = 255,
};

constexpr std::size_t kTransferBufferSize = 1048576;
constexpr std::size_t kFileDataSize = 1048576;
constexpr int kFolderQueueSize = 32;

struct PhoneNode;
struct Session;

// A batch's continuation: a procedure without arguments (the session is the
// process-wide state it works on). Null means "none".
using BatchProc = void (*)(Session&);

// ---------------------------------------------------------------------------
// Seams

// The phone pane: a report list of rows with a caption (phone name, CP1251 bytes),
// a "Size" text and an image index (0 folder, 1 file). The pane keeps its rows
// sorted by caption; several rows may be selected.
class IPhonePane {
  public:
    virtual ~IPhonePane() = default;
    virtual void Clear() = 0;
    virtual void AddRow(const Bytes& caption, const std::string& sizeText, int image) = 0;
    virtual int Count() const = 0;
    virtual Bytes Caption(int index) const = 0;
    virtual int Image(int index) const = 0;
    virtual std::string SizeText(int index) const = 0;
    virtual bool Selected(int index) const = 0;
    virtual void SetSelected(int index, bool selected) = 0;
    virtual int SelCount() const = 0;
    // Index of the first selected row, or -1.
    virtual int ItemIndex() const = 0;
};

// The computer pane: one local folder with its items (UTF-8 paths).
class IComputerPane {
  public:
    virtual ~IComputerPane() = default;
    // Full path of the folder shown (no trailing slash except for "/").
    virtual std::string FolderPath() const = 0;
    virtual int Count() const = 0;
    virtual std::string ItemPath(int index) const = 0;
    virtual bool Selected(int index) const = 0;
    virtual void SetSelected(int index, bool selected) = 0;
    virtual int SelCount() const = 0;
    // Re-reads the folder shown, keeping the selected index.
    virtual void Refresh() = 0;
};

// How a modal dialog was closed; the numbers are the dialogs' own results.
enum class ModalResult { Ok = 1, Cancel = 2, Overwrite = 5 };

// Modal dialogs and notifications of the user interface. Texts are UTF-8.
class IUserInterface {
  public:
    virtual ~IUserInterface() = default;
    // Modal message box with one OK button. The event loop keeps running while it
    // is open, so received blocks may re-enter the engine.
    virtual void MessageBox(const std::string& text, const std::string& caption) = 0;
    // A message of the core: the front end phrases it in its language and shows it
    // as a message box, unless it does more with it.
    virtual void Report(const Message& message) = 0;
    // The file-exists dialog: shows oldName, offers newName for editing. Returns Ok,
    // Cancel (also when closed) or Overwrite ("Перезаписать"); newName gets the edited text.
    virtual ModalResult FileExistDialog(const std::string& oldName, std::string& newName) = 0;
    // The rename dialog: shows name for editing. Returns Ok, or Cancel otherwise.
    virtual ModalResult RenameDialog(std::string& name) = 0;
    // The progress dialog or the main window's enabled state or status text changed
    // in the session's models: render them.
    virtual void ProgressChanged() {}
    virtual void MainWindowChanged() {}
    // The watchdog gave up on the phone: show the settings dialog again, reopen the
    // port and wake the phone (the start-up routine).
    virtual void RestartConnection() {}
};

// ---------------------------------------------------------------------------
// Plain models that the widgets render.

// A progress bar with the platform's semantics: the position is kept within
// [Min, Max]; StepIt adds Step.
struct ProgressBarModel {
    int Min = 0;
    int Max = 100;
    int Position = 0;
    int Step = 10;
    void SetMax(int v);
    void SetMin(int v);
    void SetPosition(int v);
    void StepIt();
};

struct ProgressModel {
    bool Visible = false;
    Text QuickStatus = Text::Verbatim("QuickStatus");
    Text LongStatus = Text::Verbatim("LongStatus");
    ProgressBarModel ProgressBar1;
    ProgressBarModel ProgressBar2;
};

struct MainWindowModel {
    bool Enabled = true;
    Text StatusText = Text::Verbatim("Orvo");  // panel 0 of the status bar
};

// Timer1, the reply watchdog, as the session's Clock runs it. Switching it off and
// on again restarts the interval.
struct WatchdogModel {
    bool Enabled = false;
    int Interval = 2000;
};

// How far a batch's transfer has come, in bytes: of the file in hand and of the
// whole batch (whose total is the sum of the listed or local sizes, known when the
// batch starts).
struct TransferProgress {
    std::string file;  // UTF-8 name of the file in hand
    int64_t fileDone = 0;
    int64_t fileTotal = 0;
    int64_t batchDone = 0;
    int64_t batchTotal = 0;
};

// Told each time a transfer moves: a file starts, or bytes go out or come in.
class IProgressSink {
  public:
    virtual ~IProgressSink() = default;
    virtual void TransferProgressed(const TransferProgress& progress) = 0;
};

// A message of a job, with the item in hand when it came (as the work list holds
// it: a phone name in CP1251 or a computer path; empty when none).
struct JobMessage : Message {
    JobMessage() = default;
    JobMessage(std::string i, Message m) : Message(std::move(m)), item(std::move(i)) {}
    std::string item;
};

// How a job ended: its messages in order (none but notices means success), and
// for the jobs of several steps the items done and passed over (UTF-8, shown as
// "folder/name") and whether it stopped before its end (the user stopped it, or
// the line to the phone went).
struct JobResult {
    std::vector<JobMessage> messages;
    std::vector<std::string> done;
    std::vector<std::string> skipped;
    bool stopped = false;
    bool Succeeded() const;
};
using JobEnded = std::function<void(const JobResult&)>;

// The work of a batch: what is left of it, in order. A batch takes its items from
// here, never from a pane; whoever started it hears of each item taken, each item
// given back undone, and the end with the job's result (a pane keeps its
// selection so).
struct WorkList {
    std::deque<Bytes> phoneNames;        // files of the phone folder shown (CP1251)
    std::deque<std::string> localPaths;  // computer files (UTF-8 paths)
    std::string localFolder;             // where downloads go (UTF-8 path)
    std::function<void(const std::string&item)> onTaken, onGivenBack;
    JobEnded onEnded;
    // Downloads: the computer file name for a phone name; false when there is
    // none. Unset: the phone name itself in UTF-8, when it names a file there.
    std::function<bool(const Bytes& phoneName, std::string& localName)> localNameFor;
    // Downloads: a file passed the checksum and took its name (the phone's CRC-32).
    std::function<void(const Bytes& phoneName, const std::string& path, uint32_t crc)> onSaved;
    // Uploads: the phone took a computer file whole (its write was answered "OK").
    std::function<void(const std::string& path)> onWritten;
    // Uploads: the phone name (UTF-8) a computer file is written under, as it is:
    // none of the folder's naming rules (no "_suite", no melody slot or header, no
    // cut), and a file of that name is replaced without a question. Unset: the
    // folder's rules and the file-exists question.
    std::function<bool(const std::string& path, std::string& phoneName)> phoneNameFor;
};

// A job of several steps (a caching pass, then batches, then a registry rebuild):
// each step starts one operation; the next one starts when the session has
// nothing outstanding again. Messages between the batches' own go to the result.
using JobStep = std::function<void(Session&)>;
struct StepJob {
    bool active = false;
    bool stop = false;      // end after the operation in hand
    bool spanning = false;  // the transfer's batch spans every step (one progress)
    std::deque<JobStep> steps;
    JobResult result;
    std::string item;  // named in the messages outside a work list
    JobEnded onEnded;
};

// The running batch: its work list and what became of it so far. Empty while no
// batch runs; a batch starts and ends with a fresh one.
struct BatchState {
    bool Active = false;
    WorkList Work;     // what is left of it
    JobResult Result;  // its messages so far
    std::string Item;  // the item it took last
};

// The running read. A read starts with a fresh one (StartRead).
struct ReadState {
    // The file's size as announced (by the listing, then by the read header) and
    // the bytes received since the command. A phone that sends clearly more than
    // that ends the read as a malformed reply.
    int64_t AnnouncedSize = 0;
    int64_t BytesReceived = 0;
    // How the serial component frames the read's data lines. The first blocks end
    // by the quiet gap; while they show that the second field is the block's
    // length, the following ones are framed by that length and their marker
    // answered as soon as they are complete; the first block that shows otherwise
    // sends the rest of the read back to the quiet gap.
    enum class BlockFraming : uint8_t { Learning, ByLength, QuietGap };
    BlockFraming Framing = BlockFraming::Learning;
    // Some block of the read was framed by its length. Its checksum guards the
    // result: a mismatch reads the file once more, by the quiet gap only.
    bool UsedLength = false;
    bool QuietOnly = false;  // this is that second read
    uint32_t Crc = 0;        // of the file bytes received so far
    Bytes Name;              // UTF-8, as the read command names the file
};

// What the session knows of the line's framing. A connection starts with a fresh one.
struct LineState {
    bool PortFrames = false;  // the port frames replies as the session last told it
    // The tail of the last chunk when it may be the start of a "#OK#" marker whose
    // rest comes with the next chunk ("#", "#O" or "#OK"); kept out of
    // ReceiveBuffer until then. Stale when the bytes it follows were dropped
    // (received while idle, or cleared by the engine): it then only counts if it
    // completes a marker.
    Bytes HeldMarkerBytes;
    bool HeldMarkerStale = false;
};

// Waking the phone: the resets sent and the "OK"s received so far. After the first
// "OK" the program waits until the line is quiet (every reset answered, or long
// enough for a slow phone's late answers), dropping what comes meanwhile, so that a
// late "OK" is never taken for the first listing's end. A start begins with a
// fresh one.
struct WakeState {
    int32_t ResetsSent = 0;
    int32_t ResetsAnswered = 0;
    bool Settling = false;  // answered: waiting for the quiet line
    int32_t SettleChunks = 0;
};

// ---------------------------------------------------------------------------
// The process-wide state, gathered in one place so a test can make a fresh one.
struct Session {
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Seams (not owned).
    IPort* Port = nullptr;
    IUserInterface* Ui = nullptr;
    IPhonePane* PhonePane = nullptr;
    IComputerPane* Source = nullptr;
    IWatchdogClock* Clock = nullptr;  // keeps the watchdog's time (Timer1 is its model)

    // Models rendered by the widgets.
    ProgressModel Progress;
    MainWindowModel MainWindow;
    WatchdogModel Timer1;

    // Shared operation state.
    OperationState CurrentOperation = OperationState::Initialising;
    uint8_t OperationStep = 0;
    BatchProc BatchStep = nullptr;
    BatchState Batch;  // the running batch's work
    StepJob Steps;     // the running job of several steps
    // Message boxes open, and nested runs of the engine's entry points (a dialog
    // keeps the event loop running): a job's next step waits for both to end.
    int MessageDepth = 0;
    int EngineDepth = 0;
    // What the operations asked of the window: while a job of several steps runs
    // the progress window stays open and the main window disabled between steps.
    bool ProgressClosed = true;
    bool WindowReleased = true;
    TransferProgress Transfer;
    IProgressSink* ProgressSink = nullptr;
    int32_t BatchTotal = 0;
    bool AbortRequested = false;
    Bytes ReceiveBuffer;
    // Staging buffers of the transfers, empty until the first transfer that needs
    // them; then kTransferBufferSize and kFileDataSize bytes for the rest of the run.
    // Every user sizes them before writing into them.
    std::vector<uint8_t> TransferBuffer;
    std::vector<uint8_t> FileData;
    orvo::LocalFile LocalFile;
    int32_t UploadSize = 0;
    // File bytes the blocks of the running Write may still carry: never more than
    // the command announced, even when the local file grows meanwhile.
    int64_t WriteBytesLeft = 0;
    std::string DownloadTarget;  // UTF-8 local path
    int64_t ExpectedCrc = 0;
    ReadState Read;  // the running read (fresh for each read)
    LineState Line;  // the line's framing (fresh for each connection)
    WakeState Wake;  // waking the phone (fresh for each start)
    // Set while a re-read started by the error report runs: an error of that
    // listing or caching pass is shown without starting yet another re-read.
    bool RereadAfterError = false;
    // Bumped each time the line to the phone is lost. A dialog runs a nested event
    // loop in which that may happen; a flow that showed one compares the number
    // before going on, and stops when the line it was using is gone.
    uint32_t LinkEpoch = 0;

    // Phone model.
    std::unique_ptr<PhoneNode> PhoneTree;
    // The tree CurrentFolder still points into while a new caching pass runs
    // (or after it failed); released when a pass ends and moves CurrentFolder.
    std::unique_ptr<PhoneNode> ShownTree;
    PhoneNode* CurrentFolder = nullptr;
    PhoneNode* FolderQueue[kFolderQueueSize] = {};
    int32_t QueuePosition = 0;
    std::string TempFilePath;  // the rename's temporary file (UTF-8 local path)

    // Java registry rebuild.
    uint8_t SuitesList[kSuitesListSize] = {};
    int32_t SuitesListLength = 0;

    // Rename.
    Bytes RenameOldName;  // CP1251
    Bytes RenameNewName;  // CP1251
    int32_t RenameOverwrite = 0;
    int64_t RenameSize = 0;  // the listed size of the file being renamed
    // Set while the phone's copy of the file being renamed may be erased and its
    // bytes live only in the temporary file; cleared when the rename completes.
    std::string RenameRescuePath;  // UTF-8 local path

    // --- helpers used by every module -------------------------------------
    // How the phone's reply to what is written now is framed (see ReplyFraming).
    ReplyFraming ExpectedFraming() const;
    // Sends bytes to the port (nothing when no port is attached), after telling the
    // port how the reply to them is framed.
    void PortWrite(const void* data, std::size_t length);
    void PortWrite(const Bytes& bytes) { PortWrite(bytes.data(), bytes.size()); }

    void TimerOn();
    void TimerOff();
    void SetTimerInterval(int ms);

    void ShowProgress();
    void CloseProgress();
    void SetQuickStatus(Text text);
    void SetLongStatus(Text text);
    void ProgressUpdated();  // after changing a bar directly
    // After a bar moved by one block or one folder: the window hears of it at most
    // ten times a second (the models change at once; the next ProgressUpdated, at
    // the latest the one that ends the operation, shows where they stand).
    void ProgressStepped();

    void EnableMainWindow(bool enabled);
    void SetStatusText(Text text);

    // A message for the user: kept in the running job's result, and shown.
    void Report(Message message);

    // The batch's work list: the next phone name or computer path (false when none
    // is left), an item given back undone (it comes next again), the end.
    bool TakePhoneName(Bytes& name);
    bool TakeLocalPath(std::string& path);
    void GiveBackPhoneName(const Bytes& name);
    void GiveBackLocalPath(const std::string& path);
    void EndWork();
    // Starts a batch on work: the work list becomes the session's, its result empty.
    void BeginWork(WorkList work);

    // Jobs of several steps: starts one (running its first step at once), and runs
    // the next steps whenever nothing is outstanding; the end goes to onEnded.
    void StartSteps(std::deque<JobStep> steps, JobEnded onEnded);
    void AdvanceSteps();
    // Nothing outstanding: no reply awaited, the operations gave the window back.
    bool Quiet() const;

    // The transfer's progress: a batch of this many bytes starts, a file of the
    // batch starts, bytes of the file went out or came in.
    void StartTransferBatch(int64_t totalBytes);
    void StartTransferFile(const std::string& utf8Name, int64_t totalBytes);
    void TransferMoved(int64_t bytes);
    // The file in hand starts over: what moved of it no longer counts.
    void RestartTransferFile();

  private:
    // When the window and the progress sink last heard of the progress.
    std::chrono::steady_clock::time_point progressShown_{}, transferShown_{};
    static bool Due(std::chrono::steady_clock::time_point& last);
};

// Counts a run of an engine entry point (a received block, the watchdog, a lost
// line, a step of a job) for as long as it lasts: one that starts while another
// runs (inside a dialog) is nested, and a job's next step waits for the outermost.
class EngineEntry {
  public:
    explicit EngineEntry(Session& s) : s_(s) { ++s_.EngineDepth; }
    ~EngineEntry() { --s_.EngineDepth; }
    EngineEntry(const EngineEntry&) = delete;
    EngineEntry& operator=(const EngineEntry&) = delete;

  private:
    Session& s_;
};

}  // namespace orvo
