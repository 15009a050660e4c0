#include "engine/PhoneJobs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/LocalFileSystem.h"
#include "engine/Navigation.h"
#include "engine/UploadPreparation.h"
#include "phonefs/BackupNames.h"
#include "phonefs/CodePage.h"
#include "phonefs/NamingRules.h"
#include "phonefs/PhoneTree.h"

namespace orvo {

namespace {

namespace fs = std::filesystem;

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? name : folder + "/" + name;
}

void Note(Session& s, const std::string& item, Message message) {
    s.Steps.result.messages.emplace_back(item, std::move(message));
}

// The messages of a batch of the job, each naming its file as "folder/name".
void TakeBatchResult(Session& s, const JobResult& r,
                     const std::function<std::string(const std::string&)>& itemOf) {
    for (const JobMessage& m : r.messages)
        Note(s, m.item.empty() ? std::string() : itemOf(m.item), m);
}

// Every folder of the tree, each before the folders below it.
void Walk(PhoneNode* node, std::vector<PhoneNode*>& out) {
    for (; node; node = node->NextSibling.get()) {
        out.push_back(node);
        Walk(node->FirstChild.get(), out);
    }
}

// A fresh caching pass from the root: the job works on what the phone lists now.
void CachePass(Session& s) {
    if (!s.PhoneTree) {
        Note(s, std::string(), Message(MessageKind::NoAnswer, MessageId::PhoneNotConnected));
        s.Steps.stop = true;
        return;
    }
    s.CurrentFolder = s.PhoneTree.get();
    StartFolderCaching(s);
}

// True when the last caching pass listed every folder (it ends at the new root).
bool ListedAll(Session& s) {
    if (s.PhoneTree && s.CurrentFolder == s.PhoneTree.get())
        return true;
    Note(s, std::string(), Message(MessageKind::NoAnswer, MessageId::ListNotRead));
    s.Steps.stop = true;
    return false;
}

// The job's last step: the phone pane shows folderPath again (the root when it is
// gone).
JobStep ShowAgain(const std::string& folderPath) {
    return [folderPath](Session& s) {
        PhoneNode* folder = PhoneFolderAt(s.PhoneTree.get(), folderPath);
        s.CurrentFolder = folder ? folder : s.PhoneTree.get();
        ShowFolder(s, s.CurrentFolder);
        s.CurrentOperation = OperationState::Idle;
    };
}

// --- backup ------------------------------------------------------------------

struct BackupState {
    std::string top;
    IBackupStore* store = nullptr;
    bool planned = false;
    int64_t wanted = 0;  // files the plan reads
};

// The first part of the backup folder's path rel (below top) that is not a
// folder of its own (a symbolic link, a file), or empty when each part is one or
// is still to be made.
std::string NotAFolder(const std::string& top, const std::string& rel) {
    std::string path = top;
    std::size_t at = 0;
    while (at < rel.size()) {
        const std::size_t slash = std::min(rel.find('/', at), rel.size());
        path += "/" + rel.substr(at, slash - at);
        at = slash + 1;
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(path, ec);
        if (st.type() == fs::file_type::not_found)
            return std::string();
        if (st.type() != fs::file_type::directory)
            return path;
    }
    return std::string();
}

// The computer names of a folder's files in the backup (phone name -> name).
using LocalNames = std::map<Bytes, std::string>;

JobStep BackupFolderStep(std::shared_ptr<BackupState> st, std::string folderPath,
                         std::deque<Bytes> names, std::shared_ptr<const LocalNames> localNames) {
    return [st, folderPath, names, localNames](Session& s) {
        PhoneNode* folder = PhoneFolderAt(s.PhoneTree.get(), folderPath);
        if (!folder)
            return;
        const std::string rel = BackupFolderOf(folder);
        const std::string local = rel.empty() ? st->top : st->top + "/" + rel;
        // The files go into the backup's own folders, never where a link that took
        // a folder's place leads.
        const std::string link = NotAFolder(st->top, rel);
        if (!link.empty()) {
            Note(s, folderPath,
                 Message(MessageKind::Refused, MessageId::BackupFolderNotAFolder,
                         {link, folderPath}));
            return;
        }
        std::error_code ec;
        fs::create_directories(local, ec);
        if (ec) {
            Note(s, folderPath,
                 Message(MessageKind::LocalFile, MessageId::FolderNotCreated,
                         {local, ec.message()}));
            return;
        }
        WorkList work;
        work.phoneNames = names;
        work.localFolder = local;
        work.localNameFor = [localNames](const Bytes& phoneName, std::string& localName) {
            const auto at = localNames->find(phoneName);
            if (at == localNames->end())
                return false;
            localName = at->second;
            return !localName.empty();
        };
        work.onSaved = [&s, st, folderPath, rel, localNames](
                           const Bytes& phoneName, const std::string& path, uint32_t crc) {
            BackupFile file;
            file.folder = folderPath;
            AnsiToUtf8(phoneName, file.name);
            const std::string localName = localNames->at(phoneName);
            file.file = rel.empty() ? localName : rel + "/" + localName;
            std::error_code sizeError;
            file.size = static_cast<int64_t>(fs::file_size(path, sizeError));
            file.crc = crc;
            std::string error;
            if (st->store->Record(file, error))
                s.Steps.result.done.push_back(Join(folderPath, file.name));
            else
                s.Report(Message(MessageKind::LocalFile, MessageId::ManifestNotWritten, {error}));
        };
        auto taken = std::make_shared<std::set<Bytes>>();
        work.onTaken = [taken](const std::string& name) { taken->insert(name); };
        work.onEnded = [&s, st, folderPath, names, taken, localNames](const JobResult& r) {
            TakeBatchResult(s, r, [&](const std::string& item) {
                return Join(folderPath, AnsiToUtf8Display(item));
            });
            // A failure ends the batch: the folder's other files come next.
            std::deque<Bytes> left;
            for (const Bytes& n : names)
                if (!taken->count(n))
                    left.push_back(n);
            if (!left.empty() && !taken->empty() && !s.Steps.stop)
                s.Steps.steps.push_front(
                    BackupFolderStep(st, folderPath, std::move(left), localNames));
        };
        s.CurrentFolder = folder;
        DownloadFiles(s, std::move(work));
    };
}

void PlanBackup(Session& s, const std::shared_ptr<BackupState>& st) {
    if (!ListedAll(s))
        return;
    st->planned = true;
    std::vector<PhoneNode*> folders;
    Walk(s.PhoneTree.get(), folders);
    int64_t total = 0;
    for (PhoneNode* folder : folders) {
        // The containers list the root's own files once more.
        if (folder->Parent && folder->Code == ' ')
            continue;
        const std::string folderPath = PhoneFolderPath(folder);
        const std::string rel = BackupFolderOf(folder);
        // Named all at once, so that names only case tells apart stay apart.
        std::vector<const PhoneFileEntry*> entries;
        std::vector<std::string> utf8Names;
        for (const PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get()) {
            std::string utf8;
            if (!AnsiToUtf8(e->Name, utf8)) {
                Note(s, Join(folderPath, AnsiToUtf8Display(e->Name)),
                     Message(MessageKind::Refused, MessageId::NameNotUtf8));
                continue;
            }
            entries.push_back(e);
            utf8Names.push_back(utf8);
        }
        const std::vector<std::string> computerNames = BackupFileNames(utf8Names, rel.empty());
        auto localNames = std::make_shared<LocalNames>();
        std::deque<Bytes> names;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const PhoneFileEntry* e = entries[i];
            BackupFile file;
            file.folder = folderPath;
            file.name = utf8Names[i];
            const std::string& localName = computerNames[i];
            (*localNames)[e->Name] = localName;
            file.file = rel.empty() ? localName : rel + "/" + localName;
            file.size = e->Size;
            if (st->store->HasComplete(file)) {
                s.Steps.result.skipped.push_back(Join(folderPath, file.name));
                continue;
            }
            names.push_back(e->Name);
            total += std::max<int32_t>(e->Size, 0);
        }
        st->wanted += static_cast<int64_t>(names.size());
        if (!names.empty())
            s.Steps.steps.push_back(
                BackupFolderStep(st, folderPath, std::move(names), std::move(localNames)));
    }
    s.Steps.steps.push_back(ShowAgain("/"));
    s.StartTransferBatch(total);
    s.Steps.spanning = true;
}

// --- restore -------------------------------------------------------------------

struct RestoreState {
    bool javaChanged = false;
};

JobStep RestoreFolderStep(std::shared_ptr<RestoreState> st, std::string folderPath,
                          std::map<std::string, std::string> names) {
    return [st, folderPath, names](Session& s) {
        PhoneNode* folder = PhoneFolderAt(s.PhoneTree.get(), folderPath);
        if (!folder)
            return;
        auto itemOf = [folderPath, names](const std::string& path) {
            const auto at = names.find(path);
            return Join(folderPath, at == names.end() ? path : at->second);
        };
        auto taken = std::make_shared<std::vector<std::string>>();
        WorkList work;
        for (const auto& [path, name] : names) work.localPaths.push_back(path);
        work.phoneNameFor = [names](const std::string& path, std::string& name) {
            const auto at = names.find(path);
            if (at == names.end())
                return false;
            name = at->second;
            return true;
        };
        work.onTaken = [taken](const std::string& path) {
            if (std::find(taken->begin(), taken->end(), path) == taken->end())
                taken->push_back(path);
        };
        work.onWritten = [&s, st, folderPath, itemOf](const std::string& path) {
            s.Steps.result.done.push_back(itemOf(path));
            if (folderPath == "java")
                st->javaChanged = true;
        };
        work.onEnded = [&s, st, taken, folderPath, names, itemOf](const JobResult& r) {
            TakeBatchResult(s, r, itemOf);
            // A failure ends the batch: the folder's other files come next.
            std::map<std::string, std::string> left;
            for (const auto& [path, name] : names)
                if (std::find(taken->begin(), taken->end(), path) == taken->end())
                    left[path] = name;
            if (!left.empty() && !taken->empty() && !s.Steps.stop)
                s.Steps.steps.push_front(RestoreFolderStep(st, folderPath, std::move(left)));
        };
        s.CurrentFolder = folder;
        UploadFiles(s, std::move(work));
    };
}

void PlanRestore(Session& s, const std::shared_ptr<RestoreState>& st,
                 const std::vector<RestoreFile>& files, RestoreOptions options) {
    if (!ListedAll(s))
        return;
    // Folder by folder, in the order the backup lists them.
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> plan;
    int64_t total = 0;
    for (const RestoreFile& f : files) {
        const std::string item = Join(f.folder, f.name);
        if (f.problem) {
            Note(s, item, *f.problem);
            continue;
        }
        PhoneNode* folder = PhoneFolderAt(s.PhoneTree.get(), f.folder);
        Bytes ansi;
        if (!folder) {
            Note(s, item, Message(MessageKind::Refused, MessageId::NoSuchPhoneFolder, {f.folder}));
            continue;
        }
        // The folders that only group others list the root's files; they take none.
        if (folder->Parent && folder->Code == ' ') {
            Note(s, item, Message(MessageKind::Refused, MessageId::FolderTakesNoFiles, {f.folder}));
            continue;
        }
        if (!Utf8ToAnsi(f.name, ansi) || !IsUsablePhoneName(ansi) || ansi.size() > kFileNameMax) {
            Note(s, item, Message(MessageKind::Refused, MessageId::NameNotForPhone, {f.name}));
            continue;
        }
        if (f.size > kLargestUpload) {
            Note(s, item, Message(MessageKind::Refused, MessageId::FileTooLarge, {f.path}));
            continue;
        }
        const PhoneFileEntry* there = FindFile(folder, ansi);
        if (there && there->Size == f.size && !options.force) {
            s.Steps.result.skipped.push_back(item);
            continue;
        }
        if (options.dryRun) {
            s.Steps.result.done.push_back(item);
            continue;
        }
        // One computer file under two phone names is written under both: a later
        // round of the folder takes the second.
        auto at = std::find_if(plan.begin(), plan.end(), [&](const auto& p) {
            return p.first == f.folder && !p.second.count(f.path);
        });
        if (at == plan.end())
            at = plan.insert(plan.end(), {f.folder, {}});
        at->second[f.path] = f.name;
        total += f.size;
    }
    for (auto& [folderPath, names] : plan)
        s.Steps.steps.push_back(RestoreFolderStep(st, folderPath, std::move(names)));
    s.Steps.steps.push_back([st](Session& s) {
        if (!st->javaChanged)
            return;
        s.Steps.item = "java";
        RebuildJavaRegistry(s);
    });
    s.Steps.steps.push_back(ShowAgain("/"));
    s.StartTransferBatch(total);
    s.Steps.spanning = true;
}

// --- Java ------------------------------------------------------------------------

bool EndsWith(const std::string& text, const char* tail) {
    const std::string t(tail);
    if (text.size() < t.size())
        return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        char c = text[text.size() - t.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != t[i])
            return false;
    }
    return true;
}

// The whole file when it is a regular file that can be read (up to limit bytes).
bool ReadableFile(const std::string& path, std::string* text = nullptr, std::size_t limit = 65536) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string data(limit, '\0');
    in.read(data.data(), static_cast<std::streamsize>(limit));
    if (in.bad())
        return false;
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (text)
        *text = std::move(data);
    return true;
}

std::string BaseName(const std::string& path) {
    return local_fs::BaseNameOf(path);
}

// The name a computer file gets in "java" ("game.jad" becomes "game_suite.jad").
std::string JavaNameOf(const std::string& path) {
    PhoneNode java;
    java.Name = "java";
    return NameOnPhone(java, BaseName(path));
}

// The phone's code page holds the name, its commands can carry it, and it is no
// longer than the phone keeps.
bool FitsThePhone(const std::string& utf8) {
    Bytes ansi;
    return Utf8ToAnsi(utf8, ansi) && IsUsablePhoneName(ansi) && !ansi.empty() &&
           ansi.size() <= kFileNameMax;
}

// The temporary files of downloads into the backup that a killed program could not
// remove (a program that is told to end removes its own).
void RemoveKilledDownloads(const std::string& top) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statError;
        if (it->symlink_status(statError).type() == fs::file_type::regular &&
            it->path().filename().string().rfind(".orvo-download-", 0) == 0)
            fs::remove(it->path(), statError);
    }
}

}  // namespace

void BackupPhone(Session& s, const std::string& backupFolder, IBackupStore& store,
                 JobEnded onEnded) {
    RemoveKilledDownloads(backupFolder);
    auto st = std::make_shared<BackupState>();
    st->top = backupFolder;
    st->store = &store;
    std::deque<JobStep> steps;
    steps.push_back(CachePass);
    steps.push_back([st](Session& s) { PlanBackup(s, st); });
    s.StartSteps(std::move(steps), [st, onEnded](const JobResult& r) {
        const bool all =
            st->planned && r.Succeeded() && static_cast<int64_t>(r.done.size()) == st->wanted;
        std::string error;
        JobResult ended = r;
        if (!st->store->Finish(all, error))
            ended.messages.emplace_back(
                std::string(),
                Message(MessageKind::LocalFile, MessageId::ManifestNotWritten, {error}));
        if (onEnded)
            onEnded(ended);
    });
}

void RestorePhone(Session& s, std::vector<RestoreFile> files, RestoreOptions options,
                  JobEnded onEnded) {
    auto st = std::make_shared<RestoreState>();
    auto list = std::make_shared<std::vector<RestoreFile>>(std::move(files));
    std::deque<JobStep> steps;
    steps.push_back(CachePass);
    steps.push_back([st, list, options](Session& s) { PlanRestore(s, st, *list, options); });
    s.StartSteps(std::move(steps), std::move(onEnded));
}

bool CheckJavaPair(const std::string& jad, std::string& jar, Message& error) {
    std::string descriptor;
    if (!EndsWith(jad, ".jad")) {
        error = Message(MessageKind::Refused, MessageId::NotAJad, {jad});
        return false;
    }
    if (!ReadableFile(jad, &descriptor)) {
        error = Message(MessageKind::Refused, MessageId::CannotReadFile, {jad});
        return false;
    }
    // The phone finds the archive by the name the descriptor gives: an archive of
    // another name would be installed but never run.
    const std::string named = JarNameOf(descriptor);
    if (named.empty()) {
        error = Message(MessageKind::Refused, MessageId::NoJarUrl, {jad});
        return false;
    }
    if (jar.empty()) {
        const std::size_t slash = local_fs::LastSeparator(jad);
        jar = (slash == std::string::npos ? std::string() : jad.substr(0, slash + 1)) + named;
    } else if (BaseName(jar) != named) {
        error =
            Message(MessageKind::Refused, MessageId::JarNameMismatch, {jad, named, BaseName(jar)});
        return false;
    }
    if (!EndsWith(jar, ".jar")) {
        error = Message(MessageKind::Refused, MessageId::NotAJar, {jar});
        return false;
    }
    if (!ReadableFile(jar, nullptr, 1)) {
        error = Message(MessageKind::Refused, MessageId::CannotReadFile, {jar});
        return false;
    }
    std::error_code ec;
    for (const std::string& path : {jad, jar}) {
        if (static_cast<int64_t>(fs::file_size(path, ec)) > kLargestUpload) {
            error = Message(MessageKind::Refused, MessageId::FileTooLarge, {path});
            return false;
        }
        // The name it gets in "java" must fit the phone, or half a pair would be
        // left there.
        const std::string name = JavaNameOf(path);
        if (!FitsThePhone(name)) {
            error = Message(MessageKind::Refused, MessageId::NameNotForPhone, {name});
            return false;
        }
    }
    return true;
}

void InstallJava(Session& s, const std::string& jad, const std::string& jarGiven,
                 JobEnded onEnded) {
    const std::string shown = s.CurrentFolder ? PhoneFolderPath(s.CurrentFolder) : "/";
    auto ok = std::make_shared<bool>(false);
    std::deque<JobStep> steps;
    std::string jar = jarGiven;
    Message error;
    if (!CheckJavaPair(jad, jar, error)) {
        // Nothing goes to the phone.
        steps.push_back([jad, error](Session& s) { Note(s, jad, error); });
        s.StartSteps(std::move(steps), std::move(onEnded));
        return;
    }
    steps.push_back([jad, jar, ok](Session& s) {
        PhoneNode* java = FindChildFolder("java", s.PhoneTree.get());
        if (!java || java->Name != "java") {
            Note(s, std::string(), Message(MessageKind::Refused, MessageId::JavaFolderMissing));
            return;
        }
        // Both names are settled before the first byte goes: a taken name brings the
        // file-exists question, and a pair one of whose files is not to be written
        // is not written at all.
        auto names = std::make_shared<std::map<std::string, std::string>>();
        for (const std::string& path : {jad, jar}) {
            std::string name = JavaNameOf(path);
            Bytes ansi;
            Utf8ToAnsi(name, ansi);
            while (HasFile(java, ansi)) {
                std::string proposal = name;
                const ModalResult answer =
                    s.Ui ? s.Ui->FileExistDialog(name, proposal) : ModalResult::Cancel;
                if (answer == ModalResult::Overwrite)
                    break;
                const std::string other = NameOnPhone(*java, proposal);
                if (answer == ModalResult::Ok && FitsThePhone(other)) {
                    name = other;
                    Utf8ToAnsi(name, ansi);
                    continue;
                }
                if (answer == ModalResult::Ok) {
                    Note(s, "java/" + proposal,
                         Message(MessageKind::Refused, MessageId::NameNotForPhone, {proposal}));
                    return;
                }
                Note(s, "java/" + name,
                     Message(MessageKind::Notice, MessageId::JavaNameTaken, {name}));
                s.Steps.result.skipped.push_back("java/" + JavaNameOf(jad));
                s.Steps.result.skipped.push_back("java/" + JavaNameOf(jar));
                return;
            }
            (*names)[path] = name;
        }
        auto itemOf = [names](const std::string& path) {
            const auto at = names->find(path);
            return "java/" + (at == names->end() ? BaseName(path) : at->second);
        };
        WorkList work;
        work.localPaths = {jad, jar};
        work.phoneNameFor = [names](const std::string& path, std::string& name) {
            const auto at = names->find(path);
            if (at == names->end())
                return false;
            name = at->second;
            return true;
        };
        auto written = std::make_shared<int>(0);
        work.onWritten = [&s, written, itemOf](const std::string& path) {
            s.Steps.result.done.push_back(itemOf(path));
            ++*written;
        };
        work.onEnded = [&s, written, ok, itemOf](const JobResult& r) {
            TakeBatchResult(s, r, itemOf);
            *ok = *written == 2;
        };
        s.CurrentFolder = java;
        UploadFiles(s, std::move(work));
    });
    steps.push_back([ok](Session& s) {
        // A pair that did not arrive whole is not registered.
        if (!*ok)
            return;
        s.Steps.item = "java";
        RebuildJavaRegistry(s);
    });
    steps.push_back(ShowAgain(shown));
    s.StartSteps(std::move(steps), std::move(onEnded));
}

// --- a batch run to its end ---------------------------------------------------

namespace {

struct WholeBatch {
    std::string folderPath;
    BatchStarter start = nullptr;
    WorkList work;  // the caller's callbacks and settings
};

JobStep WholeBatchStep(std::shared_ptr<WholeBatch> st, std::deque<Bytes> names,
                       std::deque<std::string> paths) {
    return [st, names, paths](Session& s) {
        PhoneNode* folder = PhoneFolderAt(s.PhoneTree.get(), st->folderPath);
        if (!folder)
            return;
        auto taken = std::make_shared<std::vector<std::string>>();
        WorkList work = st->work;
        work.phoneNames = names;
        work.localPaths = paths;
        work.onTaken = [st, taken](const std::string& item) {
            taken->push_back(item);
            if (st->work.onTaken)
                st->work.onTaken(item);
        };
        work.onGivenBack = [st, taken](const std::string& item) {
            taken->erase(std::remove(taken->begin(), taken->end(), item), taken->end());
            if (st->work.onGivenBack)
                st->work.onGivenBack(item);
        };
        work.onEnded = [&s, st, taken, names, paths](const JobResult& r) {
            JobResult& result = s.Steps.result;
            result.messages.insert(result.messages.end(), r.messages.begin(), r.messages.end());
            for (const std::string& t : *taken) {
                const bool named = std::any_of(r.messages.begin(), r.messages.end(),
                                               [&](const JobMessage& m) { return m.item == t; });
                if (!named)
                    result.done.push_back(t);
            }
            auto left = [&](const auto& items) {
                std::decay_t<decltype(items)> rest;
                for (const auto& i : items)
                    if (std::find(taken->begin(), taken->end(), i) == taken->end())
                        rest.push_back(i);
                return rest;
            };
            std::deque<Bytes> namesLeft = left(names);
            std::deque<std::string> pathsLeft = left(paths);
            // Nothing taken: the batch could not start, and would not again.
            if ((!namesLeft.empty() || !pathsLeft.empty()) && !taken->empty() && !s.Steps.stop)
                s.Steps.steps.push_front(
                    WholeBatchStep(st, std::move(namesLeft), std::move(pathsLeft)));
        };
        s.CurrentFolder = folder;
        ShowFolder(s, folder);
        st->start(s, std::move(work));
    };
}

}  // namespace

void RunWholeBatch(Session& s, const std::string& folderPath, WorkList work, BatchStarter start,
                   JobEnded onEnded) {
    auto st = std::make_shared<WholeBatch>();
    st->folderPath = folderPath;
    st->start = start;
    std::deque<Bytes> names = std::move(work.phoneNames);
    std::deque<std::string> paths = std::move(work.localPaths);
    st->work = std::move(work);
    std::deque<JobStep> steps;
    steps.push_back(WholeBatchStep(st, std::move(names), std::move(paths)));
    s.StartSteps(std::move(steps), std::move(onEnded));
}

}  // namespace orvo
