#include "cli/Commands.h"

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
#include "app/PhoneLink.h"
#include "app/PortDescriptions.h"
#include "app/SignalWatcher.h"
#include "app/WorkPanes.h"
#include "cli/CliUi.h"
#include "cli/Outcome.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
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
    for (const std::string& port : ListSerialPorts()) {
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

// --- operands ------------------------------------------------------------------

// Checks the folders named on the command line against the standard folder
// table, before anything is sent to the phone.
bool CheckOperands(const CliOptions& o, std::string& error) {
    const std::unique_ptr<PhoneNode> table = SeedStandardFolders();
    auto fileOperand = [&](const std::string& arg) {
        PhoneNode* folder = nullptr;
        std::string name;
        if (SplitFilePath(table.get(), arg, folder, name))
            return true;
        error = "not a phone folder and file name: " + arg;
        return false;
    };
    const std::string& c = o.command;
    if (c == "ls") {
        if (!FindFolderByPath(table.get(), o.args[0])) {
            error = "no such phone folder: " + o.args[0];
            return false;
        }
    } else if (c == "get" || c == "rm") {
        for (const std::string& a : o.args)
            if (!fileOperand(a))
                return false;
    } else if (c == "mv") {
        if (!fileOperand(o.args[0]))
            return false;
        if (o.args[1].empty() || o.args[1].find('/') != std::string::npos) {
            error = "NEW is a file name in the same folder: " + o.args[1];
            return false;
        }
    } else if (c == "put") {
        const PhoneNode* folder = FindFolderByPath(table.get(), o.args.back());
        if (!folder) {
            error = "no such phone folder: " + o.args.back();
            return false;
        }
        if (folder->Code == ' ') {
            error =
                "the phone keeps no files in " + o.args.back() + ": choose one of its sub-folders";
            return false;
        }
    }
    return true;
}

// --- the commands against the phone ----------------------------------------------

class Runner {
  public:
    Runner(const CliOptions& o, std::string computerFolder, std::vector<std::string> files)
        : o_(o),
          source_(std::move(computerFolder), std::move(files)),
          ui_(s_, link_, o.conflict, o.renameTo, !o.quiet && ::isatty(2)) {
        s_.Ui = &ui_;
        s_.ProgressSink = &ui_;
        s_.PhonePane = &pane_;
        s_.Source = &source_;
    }
    ~Runner() {
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

    int Run() {
        const std::string& c = o_.command;
        if (c == "tree")
            Tree();
        else if (c == "ls")
            List();
        else if (c == "get")
            Get();
        else if (c == "put")
            Put();
        else if (c == "rm")
            Remove();
        else if (c == "mv")
            Rename();
        else if (c == "compile-java")
            CompileJava();
        else if (c == "backup")
            Backup();
        else if (c == "restore")
            Restore();
        else if (c == "install-java")
            InstallJavaApp();
        ui_.EndProgress();
        EndTrace();
        if (o_.json) {
            QJsonArray errors;
            for (const Failure& f : ui_.failures)
                errors.append(
                    QJsonObject{{"item", Q(f.item)}, {"message", Q(f.text)}, {"status", f.status}});
            json_["command"] = Q(c);
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

    // Runs a job over phone files until the job has taken each of them. A job that
    // ends early (the phone refused a file) starts again with the files left, as a
    // user would press the button again. Returns the files done without a failure.
    using PhoneJob = void (*)(Session&, WorkList);
    std::vector<Bytes> PhoneBatch(PhoneNode* folder, std::vector<Bytes> rows, PhoneJob job) {
        const std::string folderPath = FolderPathOf(folder);
        auto itemOf = [&](const Bytes& caption) {
            return JoinPath(folderPath, AnsiToUtf8Display(caption));
        };
        std::vector<Bytes> taken;
        ui_.currentItem = [&]() -> std::string {
            return taken.empty() ? std::string() : itemOf(taken.back());
        };
        std::vector<Bytes> done;
        while (!rows.empty() && link_.IsOpen()) {
            Open(folder);
            for (auto r = rows.begin(); r != rows.end();) {
                if (FindFile(folder, *r)) {
                    ++r;
                } else {
                    ui_.Fail(itemOf(*r), "no such file on the phone", kExitRefused);
                    r = rows.erase(r);
                }
            }
            if (rows.empty())
                break;
            taken.clear();
            WorkList work;
            work.phoneNames.assign(rows.begin(), rows.end());
            work.localFolder = source_.FolderPath();
            work.onTaken = [&](const std::string& name) { taken.push_back(name); };
            work.onGivenBack = [&](const std::string& name) {
                taken.erase(std::remove(taken.begin(), taken.end(), name), taken.end());
            };
            work.onEnded = [&](const JobResult& result) { ui_.TakeResult(result, itemOf); };
            const std::size_t before = ui_.failures.size();
            link_.RunAndWait([&] { job(s_, std::move(work)); });
            for (const Bytes& t : taken) {
                rows.erase(std::remove(rows.begin(), rows.end(), t), rows.end());
                const std::string item = itemOf(t);
                const bool failed = std::any_of(ui_.failures.begin() + before, ui_.failures.end(),
                                                [&](const Failure& f) { return f.item == item; });
                if (!failed)
                    done.push_back(t);
            }
            if (taken.empty())
                break;
        }
        ui_.currentItem = nullptr;
        for (const Bytes& r : rows) ui_.Fail(itemOf(r), "not done", Stopped());
        return done;
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
            for (const Bytes& caption : PhoneBatch(folder, rows, DownloadFiles)) {
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
            for (const Bytes& caption : PhoneBatch(folder, rows, EraseFiles)) {
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

        std::vector<std::string> taken;
        ui_.currentItem = [&]() -> std::string {
            return taken.empty() ? std::string() : taken.back();
        };
        std::vector<std::string> done;
        while (!work.empty() && link_.IsOpen()) {
            Open(folder);
            taken.clear();
            WorkList list;
            list.localPaths.assign(work.begin(), work.end());
            list.onTaken = [&](const std::string& path) { taken.push_back(path); };
            list.onGivenBack = [&](const std::string& path) {
                taken.erase(std::remove(taken.begin(), taken.end(), path), taken.end());
            };
            list.onEnded = [&](const JobResult& result) { ui_.TakeResult(result, nullptr); };
            const std::size_t failuresBefore = ui_.failures.size();
            const std::size_t skipsBefore = ui_.skipped.size();
            link_.RunAndWait([&] { UploadFiles(s_, std::move(list)); });
            for (const std::string& t : taken) {
                work.erase(std::remove(work.begin(), work.end(), t), work.end());
                auto mine = [&](const std::string& item) { return item == t; };
                const bool failed =
                    std::any_of(ui_.failures.begin() + failuresBefore, ui_.failures.end(),
                                [&](const Failure& f) { return mine(f.item); });
                const bool skipped =
                    std::any_of(ui_.skipped.begin() + skipsBefore, ui_.skipped.end(), mine);
                if (!failed && !skipped)
                    done.push_back(t);
            }
            if (taken.empty())
                break;
        }
        ui_.currentItem = nullptr;
        for (const std::string& w : work) ui_.Fail(w, "not copied", Stopped());

        // Where each file went: the folder's naming rule, or the melody slot taken.
        std::vector<Bytes> melodySlots;
        for (const PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get())
            if (!before.count(e->Name))
                melodySlots.push_back(e->Name);
        QJsonArray files;
        for (std::size_t i = 0; i < done.size(); ++i) {
            const std::string local = done[i];
            std::string name =
                o_.renameTo.empty() ? local.substr(local.rfind('/') + 1) : o_.renameTo;
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

    // Runs a job of several steps to its end and takes its result: the files done
    // on stdout (and in "files"), those passed over in "skipped".
    JobResult RunSteps(const std::function<void(JobEnded)>& start) {
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
            return result;
        }
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

    const CliOptions& o_;
    Session s_;
    PhoneLink link_{s_};
    ListedPhonePane pane_;
    FileListPane source_;
    CliUi ui_;
    QJsonObject json_;
};

}  // namespace

int RunCliCommand(const CliOptions& o) {
    if (o.command == "ports")
        return ListPorts(o);
    std::string error;
    if (!CheckOperands(o, error)) {
        Error(error);
        return kExitUsage;
    }
    int status = kExitOk;
    const std::string port = PortToUse(o, status);
    if (status != kExitOk)
        return status;

    std::string computerFolder;
    std::vector<std::string> files;
    if (o.command == "get") {
        computerFolder = QDir(Q(o.outDir.empty() ? "." : o.outDir)).absolutePath().toStdString();
        if (!QFileInfo(Q(computerFolder)).isDir()) {
            Error("not a folder: " + computerFolder);
            return kExitUsage;
        }
    } else if (o.command == "put") {
        for (std::size_t i = 0; i + 1 < o.args.size(); ++i)
            files.push_back(QFileInfo(Q(o.args[i])).absoluteFilePath().toStdString());
    } else if (o.command == "backup") {
        if (!QFileInfo(Q(o.args[0])).isDir()) {
            Error("not a folder: " + o.args[0]);
            return kExitUsage;
        }
    } else if (o.command == "restore") {
        if (BackupIn(o.args[0]).empty()) {
            Error("no backup in " + o.args[0] + " (no manifest.json)");
            return kExitUsage;
        }
    } else if (o.command == "install-java") {
        // A pair that cannot go whole is refused before the port is opened.
        std::string jar = o.args.size() > 1 ? o.args[1] : std::string();
        if (!CheckJavaPair(o.args[0], jar, error)) {
            Error(OneLine(error));
            return kExitRefused;
        }
    }
    Runner runner(o, computerFolder, files);
    SignalWatcher watcher({SIGINT, SIGTERM, SIGHUP}, [&](int signo) { runner.Interrupt(signo); });
    status = runner.Connect(port);
    if (status == kExitOk)
        status = runner.Run();
    // A signal that came after the last wait on the line.
    if (const int late = watcher.TakePending()) {
        runner.Interrupt(late);
        status = 128 + late;
    }
    return status;
}

}  // namespace orvo
