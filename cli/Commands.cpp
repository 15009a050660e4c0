#include "cli/Commands.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "app/BackupManifest.h"
#include "app/FolderPaths.h"
#include "app/MessageTexts.h"
#include "app/PhoneLink.h"
#include "app/PortDescriptions.h"
#include "app/SignalWatcher.h"
#include "app/WorkPanes.h"
#include "cli/CliCommand.h"
#include "cli/CliUi.h"
#include "cli/Outcome.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/LocalFileSystem.h"
#include "engine/Navigation.h"
#include "engine/PhoneJobs.h"
#include "engine/UploadPreparation.h"
#include "phonefs/CodePage.h"
#include "phonefs/NamingRules.h"
#include "phonefs/PhoneTree.h"
#include "serial/SerialPorts.h"

namespace orvo {

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? name : folder + "/" + name;
}

void Error(const std::string& text) {
    std::fprintf(stderr, "orvo-cli: %s\n", text.c_str());
}

void PrintJson(const QJsonObject& doc) {
    std::fputs(QJsonDocument(doc).toJson(QJsonDocument::Indented).constData(), stdout);
}

// --- ports -------------------------------------------------------------------

int ListPorts(const CliOptions& o) {
    QJsonArray list;
    // Each port found, followed by its stable names (a USB adapter's by-id links).
    for (const std::string& port : WithStableNames(ListSerialPorts())) {
        const std::string description = PortDescription(port);
        if (o.json) {
            QJsonObject entry{{"path", Q(port)}};
            if (!description.empty())
                entry["description"] = Q(description);
            list.append(entry);
        } else {
            std::printf("%s%s%s\n", port.c_str(), description.empty() ? "" : "\t",
                        description.c_str());
        }
    }
    if (o.json)
        PrintJson(QJsonObject{{"ports", list}});
    return kExitOk;
}

// The port to use, or empty after a message (with the exit status in status).
std::string PortToUse(const CliOptions& o, int& status) {
    const char* env = std::getenv("ORVO_PORT");
    const bool search = o.port.empty() && !(env && *env);
    const std::vector<std::string> found = search ? ListSerialPorts() : std::vector<std::string>();
    const std::string port = ChoosePort(o.port, env, found, status);
    if (status == kExitPort) {
        Error("no serial port found: give one with --port or ORVO_PORT");
    } else if (status == kExitUsage) {
        Error("several serial ports found: choose one with --port or ORVO_PORT");
        for (const std::string& p : found) std::fprintf(stderr, "%s\n", p.c_str());
    }
    return port;
}

// --- checks before the port ------------------------------------------------------

// The folders named on the command line are checked against the standard folder
// table, the computer's side is prepared, before anything is sent to the phone.

int Usage(const std::string& text) {
    Error(text);
    return kExitUsage;
}

bool FileOperand(const PhoneNode* table, const std::string& arg, std::string& error) {
    PhoneNode* folder = nullptr;
    std::string name;
    if (SplitFilePath(const_cast<PhoneNode*>(table), arg, folder, name))
        return true;
    error = "not a phone folder and file name: " + arg;
    return false;
}

int CheckFiles(const CliOptions& o, CommandInput&) {
    const std::unique_ptr<PhoneNode> table = SeedStandardFolders();
    std::string error;
    for (const std::string& a : o.args)
        if (!FileOperand(table.get(), a, error))
            return Usage(error);
    return kExitOk;
}

int CheckFolder(const CliOptions& o, CommandInput&) {
    const std::unique_ptr<PhoneNode> table = SeedStandardFolders();
    if (!FindFolderByPath(table.get(), o.args[0]))
        return Usage("no such phone folder: " + o.args[0]);
    return kExitOk;
}

int CheckGet(const CliOptions& o, CommandInput& input) {
    if (int status = CheckFiles(o, input))
        return status;
    input.computerFolder = QDir(Q(o.outDir.empty() ? "." : o.outDir)).absolutePath().toStdString();
    if (!QFileInfo(Q(input.computerFolder)).isDir())
        return Usage("not a folder: " + input.computerFolder);
    return kExitOk;
}

int CheckPut(const CliOptions& o, CommandInput& input) {
    const std::unique_ptr<PhoneNode> table = SeedStandardFolders();
    const PhoneNode* folder = FindFolderByPath(table.get(), o.args.back());
    if (!folder)
        return Usage("no such phone folder: " + o.args.back());
    if (folder->Code == ' ')
        return Usage("the phone keeps no files in " + o.args.back() +
                     ": choose one of its sub-folders");
    for (std::size_t i = 0; i + 1 < o.args.size(); ++i)
        input.files.push_back(QFileInfo(Q(o.args[i])).absoluteFilePath().toStdString());
    return kExitOk;
}

int CheckRename(const CliOptions& o, CommandInput&) {
    const std::unique_ptr<PhoneNode> table = SeedStandardFolders();
    std::string error;
    if (!FileOperand(table.get(), o.args[0], error))
        return Usage(error);
    if (o.args[1].empty() || o.args[1].find('/') != std::string::npos)
        return Usage("NEW is a file name in the same folder: " + o.args[1]);
    return kExitOk;
}

int CheckBackup(const CliOptions& o, CommandInput&) {
    if (!QFileInfo(Q(o.args[0])).isDir())
        return Usage("not a folder: " + o.args[0]);
    return kExitOk;
}

int CheckRestore(const CliOptions& o, CommandInput&) {
    if (BackupIn(o.args[0]).empty())
        return Usage("no backup in " + o.args[0] + " (no manifest.json)");
    return kExitOk;
}

int CheckInstallJava(const CliOptions& o, CommandInput&) {
    // A pair that cannot go whole is refused before the port is opened.
    std::string jar = o.args.size() > 1 ? o.args[1] : std::string();
    Message refusal;
    if (!CheckJavaPair(o.args[0], jar, refusal)) {
        Error(OneLine(WordsUtf8(refusal)));
        return kExitRefused;
    }
    return kExitOk;
}

bool OneFileToRename(const CliOptions& o, std::string& error) {
    if (o.conflict == Conflict::RenameTo && o.args.size() != 2) {
        error = "--rename-to works with one FILE only";
        return false;
    }
    return true;
}

}  // namespace

// --- the commands against the phone ----------------------------------------------

class CommandRun {
  public:
    CommandRun(const CliOptions& o, CommandInput input)
        : o_(o),
          source_(std::move(input.computerFolder), std::move(input.files)),
          ui_(s_, link_, o.conflict, o.renameTo, !o.quiet && ::isatty(2)) {
        s_.Ui = &ui_;
        s_.ProgressSink = &ui_;
        s_.PhonePane = &pane_;
        s_.Source = &source_;
    }
    ~CommandRun() {
        link_.Close();
        s_.Ui = nullptr;
        s_.ProgressSink = nullptr;
        s_.PhonePane = nullptr;
        s_.Source = nullptr;
    }

    int Connect(const std::string& port) {
        std::string reason;
        if (!o_.trace.empty() && !link_.StartTrace(o_.trace, "orvo-cli", reason)) {
            Error("cannot write the trace " + o_.trace + ": " + reason);
            return kExitRefused;
        }
        if (!link_.Open(port, o_.baud, reason)) {
            Error("cannot open port " + port + (reason.empty() ? "" : ": " + OneLine(reason)));
            return kExitPort;
        }
        if (!link_.WakePhone() && ui_.failures.empty())
            ui_.Fail("", "no answer from the phone on " + port, kExitNoAnswer);
        ui_.EndProgress();
        return ui_.Status();
    }

    // A signal stops the command: whatever runs ends as closing the form's window
    // ends it, and the command returns 128 + the signal.
    void Interrupt(int signo) {
        if (ui_.interrupted)
            return;
        ui_.EndProgress();
        ui_.interrupted = signo;
        std::fprintf(stderr, "orvo-cli: stopped by %s\n", SignalName(signo));
        link_.Abandon();
    }

    int Run(const CliCommand& command) {
        (this->*command.run)();
        ui_.EndProgress();
        EndTrace();
        if (o_.json) {
            QJsonArray errors;
            for (const Failure& f : ui_.failures) {
                // The id and arguments say what the words say, for scripts.
                QJsonObject args;
                const std::vector<std::string> names = MessageArgNames(f.message.id);
                for (std::size_t i = 0; i < names.size() && i < f.message.args.size(); ++i)
                    args[Q(names[i])] = Q(f.message.args[i]);
                errors.append(QJsonObject{{"item", Q(f.item)},
                                          {"message", Q(f.text)},
                                          {"id", QString::fromLatin1(MessageName(f.message.id))},
                                          {"args", args},
                                          {"status", f.status}});
            }
            json_["command"] = Q(command.name);
            json_["errors"] = errors;
            json_["status"] = ui_.Status();
            PrintJson(json_);
        }
        return ui_.Status();
    }

  private:
    // Closes the port and the trace; a trace that could not be written whole is a
    // failure of the command.
    void EndTrace() {
        link_.Close();
        if (!o_.trace.empty() && !link_.StopTrace())
            ui_.Fail("", "cannot write the trace " + o_.trace + ": " + link_.TraceError(),
                     kExitRefused);
    }

    PhoneNode* Folder(const std::string& path) {
        return FindFolderByPath(s_.PhoneTree.get(), path);
    }

    // Shows folder in the phone pane, as double-clicks in the form do.
    void Open(PhoneNode* folder) {
        s_.CurrentFolder = folder;
        ShowFolder(s_, folder);
    }

    void Line(const std::string& text) {
        if (!o_.json)
            std::printf("%s\n", text.c_str());
    }

    QJsonObject FolderJson(const PhoneNode* folder, bool recurse) {
        QJsonArray folders;
        QJsonArray files;
        for (const PhoneNode* c = folder->FirstChild.get(); c; c = c->NextSibling.get()) {
            if (recurse)
                folders.append(FolderJson(c, true));
            else
                folders.append(Q(AnsiToUtf8Display(c->Name)));
        }
        for (const PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get())
            files.append(QJsonObject{{"name", Q(AnsiToUtf8Display(e->Name))}, {"size", e->Size}});
        return QJsonObject{
            {"path", Q(FolderPathOf(folder))}, {"folders", folders}, {"files", files}};
    }

    // The folder's rows as the form's pane shows them: "name/" for a folder,
    // "name<TAB>size" for a file.
    void PrintFolder(PhoneNode* folder, const std::string& prefix) {
        Open(folder);
        for (int i = 0; i < pane_.Count(); ++i) {
            const std::string name = prefix + AnsiToUtf8Display(pane_.Caption(i));
            Line(pane_.Image(i) == 0 ? name + "/" : name + "\t" + pane_.SizeText(i));
        }
    }

    void Tree() {
        std::vector<PhoneNode*> order;
        std::function<void(PhoneNode*)> walk = [&](PhoneNode* f) {
            order.push_back(f);
            for (PhoneNode* c = f->FirstChild.get(); c; c = c->NextSibling.get()) walk(c);
        };
        walk(s_.PhoneTree.get());
        for (PhoneNode* f : order) {
            const std::string path = FolderPathOf(f);
            PrintFolder(f, path == "/" ? "" : path + "/");
        }
        json_["tree"] = FolderJson(s_.PhoneTree.get(), true);
    }

    void List() {
        PhoneNode* folder = Folder(o_.args[0]);
        PrintFolder(folder, "");
        json_["folder"] = FolderJson(folder, false);
    }

    // The phone files named by the operands, folder by folder in the order given;
    // a name that is not there is a failure.
    std::vector<std::pair<PhoneNode*, std::vector<Bytes>>> PhoneFiles() {
        std::vector<std::pair<PhoneNode*, std::vector<Bytes>>> groups;
        for (const std::string& arg : o_.args) {
            PhoneNode* folder = nullptr;
            std::string name;
            Bytes caption;
            SplitFilePath(s_.PhoneTree.get(), arg, folder, name);
            if (!Utf8ToAnsi(name, caption) || !FindFile(folder, caption)) {
                ui_.Fail(arg, "no such file on the phone", kExitRefused);
                continue;
            }
            auto at = std::find_if(groups.begin(), groups.end(),
                                   [&](const auto& g) { return g.first == folder; });
            if (at == groups.end())
                at = groups.insert(groups.end(), {folder, {}});
            if (std::find(at->second.begin(), at->second.end(), caption) == at->second.end())
                at->second.push_back(caption);
        }
        return groups;
    }

    // Runs a file operation over work in folder until it has taken every item (the
    // engine's runner starts it again after a refusal with the items left) and
    // says what failed. Returns the items done, in the order given; an item neither
    // done, failed nor skipped is reported as undone.
    std::vector<std::string> WholeBatch(
        PhoneNode* folder, WorkList work, BatchStarter start,
        const std::function<std::string(const std::string&)>& itemOf, const char* undone) {
        std::vector<std::string> items(work.phoneNames.begin(), work.phoneNames.end());
        items.insert(items.end(), work.localPaths.begin(), work.localPaths.end());
        std::vector<std::string> taken;
        ui_.currentItem = [&]() -> std::string {
            return taken.empty() ? std::string() : itemOf(taken.back());
        };
        work.onTaken = [&](const std::string& item) { taken.push_back(item); };
        work.onGivenBack = [&](const std::string& item) {
            taken.erase(std::remove(taken.begin(), taken.end(), item), taken.end());
        };
        const std::size_t skipsBefore = ui_.skipped.size();
        const JobResult result = RunJob([&](JobEnded ended) {
            RunWholeBatch(s_, FolderPathOf(folder), std::move(work), start, std::move(ended));
        });
        ui_.currentItem = nullptr;
        ui_.TakeResult(result, itemOf);
        auto among = [](const std::vector<std::string>& list, const std::string& item) {
            return std::find(list.begin(), list.end(), item) != list.end();
        };
        const std::vector<std::string> skipped(ui_.skipped.begin() + skipsBefore,
                                               ui_.skipped.end());
        std::vector<std::string> done;
        for (const std::string& item : items) {
            const bool named = std::any_of(result.messages.begin(), result.messages.end(),
                                           [&](const JobMessage& m) { return m.item == item; });
            if (among(skipped, itemOf(item)) || named)
                continue;
            if (among(result.done, item))
                done.push_back(item);
            else
                ui_.Fail(itemOf(item), undone, Stopped());
        }
        return done;
    }

    // Names a phone file of folder as the failures list it ("java/a.jar").
    std::function<std::string(const std::string&)> ItemIn(PhoneNode* folder) {
        const std::string folderPath = FolderPathOf(folder);
        return [folderPath](const std::string& caption) {
            return JoinPath(folderPath, AnsiToUtf8Display(caption));
        };
    }

    // The status for files a batch left undone.
    int Stopped() const {
        return ui_.Status() ? ui_.Status() : link_.IsOpen() ? kExitRefused : kExitNoAnswer;
    }

    void Get() {
        QJsonArray files;
        // Names written by this command: a second phone file of the same name would
        // replace the first one's bytes, as cp refuses to.
        std::set<Bytes> written;
        for (auto& [folder, rows] : PhoneFiles()) {
            if (o_.conflict != Conflict::Overwrite) {
                for (auto r = rows.begin(); r != rows.end();) {
                    if (!written.count(*r)) {
                        ++r;
                        continue;
                    }
                    ui_.Fail(JoinPath(FolderPathOf(folder), AnsiToUtf8Display(*r)),
                             "would overwrite a file just written: " +
                                 JoinPath(source_.FolderPath(), AnsiToUtf8Display(*r)) +
                                 " (use --overwrite)",
                             kExitRefused);
                    r = rows.erase(r);
                }
            }
            WorkList work;
            work.phoneNames.assign(rows.begin(), rows.end());
            work.localFolder = source_.FolderPath();
            for (const Bytes& caption :
                 WholeBatch(folder, std::move(work), DownloadFiles, ItemIn(folder), "not done")) {
                written.insert(caption);
                std::string name;
                AnsiToUtf8(caption, name);
                const std::string local = JoinPath(source_.FolderPath(), name);
                Line(local);
                files.append(QJsonObject{{"phone", Q(JoinPath(FolderPathOf(folder), name))},
                                         {"local", Q(local)}});
            }
        }
        json_["files"] = files;
    }

    void Remove() {
        QJsonArray files;
        for (auto& [folder, rows] : PhoneFiles()) {
            WorkList work;
            work.phoneNames.assign(rows.begin(), rows.end());
            for (const Bytes& caption :
                 WholeBatch(folder, std::move(work), EraseFiles, ItemIn(folder), "not done")) {
                const std::string path = JoinPath(FolderPathOf(folder), AnsiToUtf8Display(caption));
                Line(path);
                files.append(Q(path));
            }
        }
        json_["files"] = files;
    }

    void Put() {
        PhoneNode* folder = Folder(o_.args.back());
        const std::string folderPath = FolderPathOf(folder);
        std::vector<std::string> work;
        for (int i = 0; i < source_.Count(); ++i) {
            std::error_code ec;
            const std::string path = source_.ItemPath(i);
            if (!std::filesystem::is_regular_file(path, ec))
                ui_.Fail(path, "not a file", kExitRefused);
            else if (std::find(work.begin(), work.end(), path) == work.end())
                work.push_back(path);
        }
        std::set<Bytes> before;
        for (const PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get())
            before.insert(e->Name);

        WorkList list;
        list.localPaths.assign(work.begin(), work.end());
        const std::vector<std::string> done = WholeBatch(
            folder, std::move(list), UploadFiles, [](const std::string& path) { return path; },
            "not copied");

        // Where each file went: the folder's naming rule, or the melody slot taken.
        std::vector<Bytes> melodySlots;
        for (const PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get())
            if (!before.count(e->Name))
                melodySlots.push_back(e->Name);
        QJsonArray files;
        for (std::size_t i = 0; i < done.size(); ++i) {
            const std::string local = done[i];
            std::string name = o_.renameTo.empty() ? local_fs::BaseNameOf(local) : o_.renameTo;
            if (folder->Name == "Default Sounds")
                name = i < melodySlots.size() ? AnsiToUtf8Display(melodySlots[i]) : std::string();
            else
                name = NameOnPhone(*folder, name);
            const std::string phone = name.empty() ? folderPath : JoinPath(folderPath, name);
            Line(phone);
            files.append(QJsonObject{{"local", Q(local)}, {"phone", Q(phone)}});
        }
        QJsonArray skipped;
        for (const std::string& s : ui_.skipped) skipped.append(Q(s));
        json_["files"] = files;
        json_["skipped"] = skipped;
    }

    void Rename() {
        PhoneNode* folder = nullptr;
        std::string oldName;
        SplitFilePath(s_.PhoneTree.get(), o_.args[0], folder, oldName);
        const std::string folderPath = FolderPathOf(folder);
        const std::string newName = o_.args[1];
        Bytes oldAnsi;
        Bytes newAnsi;
        if (!Utf8ToAnsi(oldName, oldAnsi) || !FindFile(folder, oldAnsi)) {
            ui_.Fail(o_.args[0], "no such file on the phone", kExitRefused);
            return;
        }
        if (!Utf8ToAnsi(newName, newAnsi) || !IsUsablePhoneName(newAnsi)) {
            ui_.Fail(o_.args[0], "the phone cannot take the name \"" + newName + "\"",
                     kExitRefused);
            return;
        }
        std::string result = JoinPath(folderPath, newName);
        if (newAnsi != oldAnsi && HasFile(folder, newAnsi)) {
            // Nothing is read, erased or written unless the taken name is to go.
            if (o_.conflict == Conflict::Skip) {
                json_["skipped"] = QJsonArray{Q(JoinPath(folderPath, newName))};
                return;
            }
            if (o_.conflict == Conflict::Fail) {
                ui_.Fail(o_.args[0],
                         "\"" + newName +
                             "\" is already on the phone (use --overwrite, --skip or --rename-to)",
                         kExitRefused);
                return;
            }
            if (o_.conflict == Conflict::RenameTo)
                result = JoinPath(folderPath, o_.renameTo);
        }
        Open(folder);
        ui_.newName = newName;
        ui_.currentItem = [&] { return o_.args[0]; };
        link_.RunAndWait([&] {
            NoteRenameRescue(s_);
            RenameFile(s_, oldAnsi);
        });
        ui_.currentItem = nullptr;
        if (ui_.failures.empty()) {
            Line(result);
            json_["renamed"] = QJsonObject{{"from", Q(o_.args[0])}, {"to", Q(result)}};
        }
    }

    void CompileJava() {
        link_.RunAndWait([&] { RebuildJavaRegistry(s_); });
        json_["done"] = ui_.failures.empty();
    }

    // Runs a job of several steps to its end and returns its result; a job that
    // never ended is a failure (and is dropped).
    JobResult RunJob(const std::function<void(JobEnded)>& start) {
        JobResult result;
        bool ended = false;
        // A whole phone takes long on a serial line: the watchdog, not a time
        // limit, ends a job whose phone fell silent.
        constexpr int kDay = 24 * 3600 * 1000;
        link_.RunAndWait(
            [&] {
                start([&](const JobResult& r) {
                    result = r;
                    ended = true;
                });
            },
            kDay);
        if (!ended) {
            // Nothing of the job may run once the command has returned.
            s_.Steps = StepJob();
            ui_.Fail("", "no answer from the phone", kExitNoAnswer);
            result.stopped = true;
        }
        return result;
    }

    // Runs a whole-phone job to its end and takes its result: the files done on
    // stdout (and in "files"), those passed over in "skipped".
    JobResult RunSteps(const std::function<void(JobEnded)>& start) {
        const std::size_t before = ui_.failures.size();
        JobResult result = RunJob(start);
        if (ui_.failures.size() != before)
            return result;
        ui_.TakeResult(result, nullptr);
        if (result.stopped && ui_.failures.empty())
            ui_.Fail("", "stopped before the end", kExitNoAnswer);
        QJsonArray done;
        QJsonArray skipped;
        for (const std::string& d : result.done) done.append(Q(d));
        for (const std::string& d : result.skipped) skipped.append(Q(d));
        json_["files"] = done;
        json_["skipped"] = skipped;
        return result;
    }

    void Backup() {
        const std::string dir = o_.args[0];
        std::string top = o_.resume ? UnfinishedBackup(dir) : std::string();
        if (o_.resume && top.empty())
            std::fprintf(stderr, "orvo-cli: no unfinished backup in %s: starting a new one\n",
                         dir.c_str());
        std::string error;
        BackupManifest manifest(top);
        if (!top.empty()) {
            if (!manifest.Load(error)) {
                ui_.Fail(top, error, kExitRefused);
                return;
            }
        } else {
            top = MakeBackupFolder(dir, QDateTime::currentDateTime(), error);
            if (top.empty()) {
                ui_.Fail(dir, error, kExitRefused);
                return;
            }
            manifest = BackupManifest(top);
            manifest.Load(error);
        }
        const JobResult r =
            RunSteps([&](JobEnded ended) { BackupPhone(s_, top, manifest, std::move(ended)); });
        Line(top);
        json_["backup"] = Q(top);
        json_["complete"] = manifest.Complete();
        (void)r;
    }

    void Restore() {
        std::vector<RestoreFile> files;
        std::string error;
        const std::string top = BackupIn(o_.args[0]);
        if (!ReadRestoreList(top, files, error)) {
            ui_.Fail(o_.args[0], error, kExitRefused);
            return;
        }
        RestoreOptions options;
        options.force = o_.force;
        options.dryRun = o_.dryRun;
        const JobResult r = RunSteps(
            [&](JobEnded ended) { RestorePhone(s_, std::move(files), options, std::move(ended)); });
        for (const std::string& d : r.done) Line(d);
        json_["backup"] = Q(top);
        json_["dryRun"] = o_.dryRun;
    }

    void InstallJavaApp() {
        const std::string jad = QFileInfo(Q(o_.args[0])).absoluteFilePath().toStdString();
        const std::string jar =
            o_.args.size() > 1 ? QFileInfo(Q(o_.args[1])).absoluteFilePath().toStdString() : "";
        ui_.currentItem = [jad] { return jad; };
        const JobResult r =
            RunSteps([&](JobEnded ended) { InstallJava(s_, jad, jar, std::move(ended)); });
        ui_.currentItem = nullptr;
        for (const std::string& d : r.done) Line(d);
    }

    // The list takes each command's run from here.
    friend const std::vector<CliCommand>& CliCommands();

    const CliOptions& o_;
    Session s_;
    PhoneLink link_{s_};
    ListedPhonePane pane_;
    FileListPane source_;
    CliUi ui_;
    QJsonObject json_;
};

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands = {
        {.name = "ports",
         .synopsis = "ports",
         .help = "serial ports found, one per line",
         .runAlone = ListPorts},
        {.name = "tree",
         .synopsis = "tree",
         .help = "every standard folder of the phone, with file sizes",
         .run = &CommandRun::Tree},
        {.name = "ls",
         .synopsis = "ls FOLDER",
         .help = "one phone folder: name and size per line",
         .operands = "one FOLDER",
         .minOperands = 1,
         .maxOperands = 1,
         .check = CheckFolder,
         .run = &CommandRun::List},
        {.name = "get",
         .synopsis = "get FOLDER/NAME... [-o DIR] [--overwrite]",
         .help = "download (checksum checked) into DIR, default \".\";\n"
                 "a second file of one name is refused unless --overwrite",
         .operands = "FOLDER/NAME",
         .minOperands = 1,
         .maxOperands = -1,
         .options = kTakesOutDir | kTakesOverwrite,
         .check = CheckGet,
         .run = &CommandRun::Get},
        {.name = "put",
         .synopsis = "put FILE... FOLDER",
         .help = "upload under the phone's naming rules",
         .operands = "FILE... FOLDER",
         .minOperands = 2,
         .maxOperands = -1,
         .options = kTakesOverwrite | kTakesSkip | kTakesRenameTo,
         .checkUsage = OneFileToRename,
         .check = CheckPut,
         .run = &CommandRun::Put},
        {.name = "rm",
         .synopsis = "rm FOLDER/NAME...",
         .help = "erase phone files",
         .operands = "FOLDER/NAME",
         .minOperands = 1,
         .maxOperands = -1,
         .check = CheckFiles,
         .run = &CommandRun::Remove},
        {.name = "mv",
         .synopsis = "mv FOLDER/OLD NEW",
         .help = "rename a phone file",
         .operands = "FOLDER/OLD NEW",
         .minOperands = 2,
         .maxOperands = 2,
         .options = kTakesOverwrite | kTakesSkip | kTakesRenameTo,
         .check = CheckRename,
         .run = &CommandRun::Rename},
        {.name = "compile-java",
         .synopsis = "compile-java",
         .help = "rebuild the Java application registry",
         .run = &CommandRun::CompileJava},
        {.name = "backup",
         .synopsis = "backup DIR [--resume]",
         .help = "every file of the phone into\n"
                 "DIR/phone-backup-YYYY-MM-DD-HHMM with manifest.json;\n"
                 "--resume goes on with the unfinished one in DIR",
         .operands = "one DIR",
         .minOperands = 1,
         .maxOperands = 1,
         .options = kTakesResume,
         .check = CheckBackup,
         .run = &CommandRun::Backup},
        {.name = "restore",
         .synopsis = "restore DIR [--dry-run] [--force]",
         .help = "write a backup back under its phone names; a file\n"
                 "of the same name and size is left unless --force;\n"
                 "--dry-run lists what would be written",
         .operands = "one DIR",
         .minOperands = 1,
         .maxOperands = 1,
         .options = kTakesDryRun | kTakesForce,
         .check = CheckRestore,
         .run = &CommandRun::Restore},
        {.name = "install-java",
         .synopsis = "install-java FILE.jad [FILE.jar]",
         .help = "upload a Java application (the .jar named by the\n"
                 ".jad's MIDlet-Jar-URL when not given) and register it",
         .operands = "FILE.jad [FILE.jar]",
         .minOperands = 1,
         .maxOperands = 2,
         .options = kTakesOverwrite | kTakesSkip,
         .check = CheckInstallJava,
         .run = &CommandRun::InstallJavaApp},
    };
    return commands;
}

const CliCommand* FindCliCommand(const std::string& name) {
    for (const CliCommand& c : CliCommands())
        if (name == c.name)
            return &c;
    return nullptr;
}

int RunCliCommand(const CliOptions& o) {
    const CliCommand* command = FindCliCommand(o.command);
    if (!command)
        return Usage("unknown command: " + o.command);
    if (command->runAlone)
        return command->runAlone(o);
    CommandInput input;
    if (command->check)
        if (int status = command->check(o, input))
            return status;
    int status = kExitOk;
    const std::string port = PortToUse(o, status);
    if (status != kExitOk)
        return status;

    CommandRun run(o, std::move(input));
    SignalWatcher watcher({SIGINT, SIGTERM, SIGHUP}, [&](int signo) { run.Interrupt(signo); });
    status = run.Connect(port);
    if (status == kExitOk)
        status = run.Run(*command);
    // A signal that came after the last wait on the line.
    if (const int late = watcher.TakePending()) {
        run.Interrupt(late);
        status = 128 + late;
    }
    return status;
}

}  // namespace orvo
