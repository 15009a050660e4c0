// The jobs on the files of the phone folder shown: copying to the phone and to the
// computer, deleting, renaming, re-reading the folder, rebuilding the Java registry
// and stopping a batch, with the per-file steps of the download, delete and rename
// batches (the upload's step, which names and stages each file, is in
// UploadPreparation.cpp).
//
// A starter takes a work list (phone names of the folder shown, computer paths, the
// folder downloads go to), sets up the progress model, makes the phone's working
// folder the folder shown and returns; the reply engine calls the batch's step each
// time the phone has answered. Each step takes the next item of the work list, never
// a pane: whoever started the batch hears of each item taken or given back and of
// the end, with the batch's messages. The phone has no rename: a rename reads the
// file into a private temporary file, erases it and writes it back under the new
// name, and keeps the bytes in the rescue folder when it breaks off after the erase.
#include "engine/FileOperations.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/FolderCache.h"
#include "engine/JavaRegistry.h"
#include "engine/LocalFileSystem.h"
#include "engine/Navigation.h"
#include "engine/PhoneCommands.h"
#include "engine/UploadPreparation.h"
#include "phonefs/BackupNames.h"
#include "phonefs/CodePage.h"
#include "phonefs/PhoneTree.h"

namespace orvo {

namespace {

std::string Show(const Bytes& ansi) {
    return AnsiToUtf8Display(ansi);
}

// 512-byte blocks of a file of the given size (a nonsense negative size has none).
int BlocksOf(int64_t size) {
    return size <= 0 ? 0 : static_cast<int>(size / 512 + (size % 512 != 0 ? 1 : 0));
}

bool HasFiles(const PhoneNode* folder) {
    return folder && folder->Files;
}

// Makes the phone's working folder the one shown and waits for its "OK", which
// hands over to step.
void StartBatch(Session& s, BatchProc step) {
    s.BatchStep = step;
    s.CurrentOperation = OperationState::ChangingFolder;
    SendPhoneCommand(s, PhoneCommand::ChangeFolder,
                     Bytes(1, static_cast<char>(s.CurrentFolder->Code)));
    s.TimerOn();
}

// Nothing more is awaited: give the window back.
void EndBatch(Session& s) {
    s.CurrentOperation = OperationState::Idle;
    s.TimerOff();
    s.CloseProgress();
    s.EnableMainWindow(true);
}

// The local name for a phone file: its name in UTF-8, accepted only when it names
// a file inside the destination folder and nothing else.
bool LocalNameFor(const Bytes& phoneName, std::string& localName) {
    if (!AnsiToUtf8(phoneName, localName))
        return false;
    if (localName.empty() || localName == "." || localName == "..")
        return false;
    return localName.find('/') == std::string::npos && localName.find('\0') == std::string::npos;
}

// The name that a dialog handed back, in the model's code page; false (after a
// message) when the phone cannot take it.
bool TakeNewName(Session& s, const std::string& utf8, Bytes& ansi) {
    if (Utf8ToAnsi(utf8, ansi) && IsUsablePhoneName(ansi))
        return true;
    s.Report(Message(MessageKind::Refused, MessageId::InvalidNewName, {utf8}));
    return false;
}

// --- the rename's temporary file --------------------------------------------

// A new private file (owner-only, unique name) in the rescue folder, open for
// writing in LocalFile. Never reuses an earlier rename's file.
bool CreateRenameTempFile(Session& s, std::string& error) {
    std::error_code ec;
    const std::string folder = RescueFolderPath();
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = folder + ": " + ec.message();
        return false;
    }
    // The folder holds copies of the phone's files: for the owner's eyes only.
    local_fs::MakePrivateFolder(folder);
    std::string pattern = MakeTempFilePath();
    std::string path = pattern;
    int fd = local_fs::CreateUnique(path);
    if (fd < 0) {
        error = pattern + ": " + std::strerror(errno);
        return false;
    }
    try {
        s.LocalFile.AdoptForWriting(fd, path);
    } catch (const IoError& e) {
        local_fs::Remove(path);
        error = e.what();
        return false;
    }
    s.TempFilePath = path;
    s.DownloadTarget = path;
    return true;
}

void RemoveRenameTempFile(Session& s) {
    if (s.TempFilePath.empty())
        return;
    if (s.LocalFile.Path() == s.TempFilePath)
        s.LocalFile.Close();
    local_fs::Remove(s.TempFilePath);
    s.TempFilePath.clear();
}

// Gives the temporary file of a rename that broke off after the erase the phone
// file's own name in the rescue folder ("name", else "name (2).ext", ...), never
// replacing a file there. Returns where the bytes are now.
std::string KeepRescuedFile(const Session& s, const std::string& path) {
    std::string own;
    if (!LocalNameFor(s.RenameOldName, own))
        return path;
    const std::string folder = path.substr(0, local_fs::LastSeparator(path) + 1);
    const std::size_t dot = own.rfind('.');
    const std::string stem = (dot == std::string::npos || dot == 0) ? own : own.substr(0, dot);
    const std::string ext = stem.size() == own.size() ? std::string() : own.substr(dot);
    for (int n = 1; n < 1000; ++n) {
        const std::string target =
            folder + (n == 1 ? own : stem + " (" + std::to_string(n) + ")" + ext);
        if (local_fs::RenameNoReplace(path, target) == 0)
            return target;
        if (errno != EEXIST)
            break;
    }
    return path;
}

// After a rename broke off, the model shows what the phone holds: the old name
// while the phone's copy was not erased, no entry once it was (the write under the
// new name did not complete). A re-read, where the phone still answers, confirms it.
void UndoRenameInModel(Session& s, bool erased) {
    PhoneNode* folder = s.CurrentFolder;
    if (!folder)
        return;
    const Bytes shown = s.RenameNewName.substr(0, kFileNameMax);
    if (erased) {
        RemoveFile(shown, folder);
    } else if (PhoneFileEntry* entry = FindFile(folder, shown)) {
        if (!HasFile(folder, s.RenameOldName))
            entry->Name = s.RenameOldName.substr(0, kFileNameMax);
    }
    ShowFolder(s, folder);
}

// Ends a rename that cannot go on. The model already carries the new name, so the
// folder is read again from the phone.
void FailRename(Session& s, Message message) {
    s.CurrentOperation = OperationState::Idle;
    s.OperationStep = 0;
    s.TimerOff();
    s.LocalFile.Close();
    const uint32_t link = s.LinkEpoch;
    s.Report(std::move(message));
    s.CloseProgress();
    s.EnableMainWindow(true);
    NoteRenameRescue(s);
    if (s.LinkEpoch == link)
        RereadCurrentFolder(s);
}

}  // namespace

// ---------------------------------------------------------------------------
// Copy to the phone

void UploadFiles(Session& s, WorkList work) {
    if (!s.CurrentFolder)
        return;
    s.BeginWork(std::move(work));
    int64_t total = 0;
    for (const std::string& path : s.Batch.Work.localPaths) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec)
            total += static_cast<int64_t>(size);
    }
    s.StartTransferBatch(total);
    s.AbortRequested = false;
    s.ShowProgress();
    s.EnableMainWindow(false);

    s.BatchTotal = static_cast<int32_t>(s.Batch.Work.localPaths.size());
    s.Progress.LongStatus = Text(MessageId::CopyingFileOf, {"1", std::to_string(s.BatchTotal)});
    s.Progress.ProgressBar2.SetMax(s.BatchTotal);
    s.Progress.ProgressBar2.SetPosition(0);
    s.Progress.ProgressBar1.SetPosition(0);
    s.ProgressUpdated();

    StartBatch(s, PrepareNextUpload);
}

// ---------------------------------------------------------------------------
// Copy to the computer

void DownloadFiles(Session& s, WorkList work) {
    if (!s.CurrentFolder)
        return;
    s.BeginWork(std::move(work));
    int64_t total = 0;
    for (const Bytes& name : s.Batch.Work.phoneNames)
        if (const PhoneFileEntry* entry = FindFile(s.CurrentFolder, name))
            total += std::max<int32_t>(entry->Size, 0);
    s.StartTransferBatch(total);
    s.AbortRequested = false;
    const int selected = static_cast<int>(s.Batch.Work.phoneNames.size());
    s.Progress.ProgressBar2.SetMax(selected);
    s.Progress.ProgressBar2.SetPosition(0);
    s.Progress.ProgressBar1.SetPosition(0);
    s.BatchTotal = selected;
    s.Progress.LongStatus = Text(MessageId::CopyingFileOf, {"1", std::to_string(s.BatchTotal)});
    s.ProgressUpdated();
    s.ShowProgress();
    s.EnableMainWindow(false);

    StartBatch(s, DownloadNextFile);
}

void DownloadNextFile(Session& s) {
    const uint32_t link = s.LinkEpoch;
    for (;;) {
        // A message of this batch was open when the line went: nothing goes on.
        if (s.LinkEpoch != link)
            return;
        if (s.AbortRequested) {
            s.AbortRequested = false;
            EndBatch(s);
            s.EndWork();
            return;
        }

        ProgressModel& p = s.Progress;
        p.LongStatus = Text(MessageId::CopyingFileOf, {std::to_string(p.ProgressBar2.Position + 1),
                                                       std::to_string(s.BatchTotal)});
        p.ProgressBar1.SetPosition(0);
        p.ProgressBar2.StepIt();
        s.ProgressUpdated();

        std::string folder = s.Batch.Work.localFolder;
        if (folder.empty() || folder.back() != '/')
            folder += '/';

        Bytes caption;
        if (!HasFiles(s.CurrentFolder) || !s.TakePhoneName(caption)) {
            // The normal end of the batch.
            EndBatch(s);
            p.ProgressBar1.SetPosition(0);
            s.ProgressUpdated();
            s.EndWork();
            return;
        }
        const PhoneFileEntry* entry = FindFile(s.CurrentFolder, caption);
        if (!entry) {
            // A folder row: there is nothing to read, and creating the local file
            // first would only replace a file of that name with an empty one.
            continue;
        }

        std::string localName;
        std::string phoneName;  // the phone's own name, UTF-8, for the command
        const bool named = s.Batch.Work.localNameFor ? s.Batch.Work.localNameFor(caption, localName)
                                                     : LocalNameFor(caption, localName);
        if (!IsUsablePhoneName(caption) || !named || !AnsiToUtf8(caption, phoneName)) {
            // Such a name would break the command, leave the destination folder or
            // mangle the file's name: the file is not copied, the others are.
            s.CurrentOperation = OperationState::Idle;
            s.Report(Message(MessageKind::Refused, MessageId::NotCopiedBadName, {Show(caption)}));
            continue;
        }
#ifdef _WIN32
        // Windows refuses these names on every file system; elsewhere the file
        // system itself says so when the file takes its name.
        const LocalNameFault problem =
            s.Batch.Work.localNameFor ? LocalNameFault() : LocalNameProblem(localName);
        if (problem) {
            static const MessageId kSaid[] = {
                MessageId::NotCopiedBadName,          MessageId::NotCopiedNoSuchName,
                MessageId::NotCopiedControlCharacter, MessageId::NotCopiedRefusedCharacter,
                MessageId::NotCopiedEndsWithDot,      MessageId::NotCopiedDeviceName};
            s.CurrentOperation = OperationState::Idle;
            s.Report(Message(MessageKind::Refused, kSaid[problem.kind],
                             {Show(caption), problem.detail}));
            continue;
        }
#endif

        s.DownloadTarget = folder + localName;
        try {
            // The bytes go to a private file beside the target; the target itself
            // changes only when the whole file has arrived intact.
            s.LocalFile.CreateTemporaryFor(s.DownloadTarget);
        } catch (const IoError&) {
            // This file was not copied: it stays with the rest of the work.
            s.GiveBackPhoneName(caption);
            s.CurrentOperation = OperationState::Idle;
            s.TimerOff();
            s.Report(Message(MessageKind::LocalFile, MessageId::ReadOnlyDisk));
            s.CloseProgress();
            s.EnableMainWindow(true);
            s.EndWork();
            return;
        }

        p.ProgressBar1.SetMax(BlocksOf(entry->Size));
        p.QuickStatus = Text(MessageId::CopyingFile, {Show(entry->Name)});
        s.ProgressUpdated();

        // The phone is asked for its own name, whatever the computer's file is called.
        s.StartTransferFile(phoneName, entry->Size);
        StartRead(s, phoneName, entry->Size);
        return;
    }
}

// ---------------------------------------------------------------------------
// Delete

void EraseFiles(Session& s, WorkList work) {
    if (!s.CurrentFolder)
        return;
    s.BeginWork(std::move(work));
    s.AbortRequested = false;
    const int selected = static_cast<int>(s.Batch.Work.phoneNames.size());
    s.Progress.LongStatus = Text(MessageId::DeletingFilesOf, {"1", std::to_string(selected)});
    s.ShowProgress();
    s.EnableMainWindow(false);
    for (ProgressBarModel* bar : {&s.Progress.ProgressBar1, &s.Progress.ProgressBar2}) {
        bar->SetMax(selected);
        bar->SetPosition(0);
    }
    s.BatchTotal = selected;
    s.ProgressUpdated();

    StartBatch(s, DeleteNextFile);
}

void DeleteNextFile(Session& s) {
    const uint32_t link = s.LinkEpoch;
    for (;;) {
        if (s.LinkEpoch != link)
            return;
        Bytes caption;
        if (s.AbortRequested || !s.TakePhoneName(caption)) {
            s.AbortRequested = false;
            EndBatch(s);
            ShowFolder(s, s.CurrentFolder);
            s.EndWork();
            return;
        }
        if (!FindFile(s.CurrentFolder, caption)) {
            // A folder row: the phone's standard folders are not files to erase.
            s.Progress.ProgressBar1.StepIt();
            s.Progress.ProgressBar2.StepIt();
            s.ProgressUpdated();
            continue;
        }

        Bytes utf8;
        if (!AnsiToUtf8(caption, utf8) || !IsUsablePhoneName(caption)) {
            s.CurrentOperation = OperationState::Idle;
            s.Report(Message(MessageKind::Refused, MessageId::NotDeletedBadName, {Show(caption)}));
            continue;
        }
        RemoveFile(caption, s.CurrentFolder);
        s.SetQuickStatus(Text(MessageId::Deleting, {Show(caption)}));
        s.CurrentOperation = OperationState::Erasing;
        SendPhoneCommand(s, PhoneCommand::Erase, utf8);
        s.TimerOn();
        return;
    }
}

// ---------------------------------------------------------------------------
// Rename: the phone has no rename command. The file is read into a temporary
// file, erased on the phone and written back under its new name.

void RenameFile(Session& s, const Bytes& oldName) {
    s.RenameOverwrite = 0;
    if (!HasFiles(s.CurrentFolder))
        return;
    s.OperationStep = 0;
    if (!FindFile(s.CurrentFolder, oldName))
        return;  // a folder row

    std::string oldUtf8;
    if (!AnsiToUtf8(oldName, oldUtf8) || !IsUsablePhoneName(oldName)) {
        s.Report(Message(MessageKind::Refused, MessageId::NotRenamedBadName, {Show(oldName)}));
        return;
    }
    std::string edited = oldUtf8;
    const uint32_t link = s.LinkEpoch;
    if (!s.Ui || s.Ui->RenameDialog(edited) != ModalResult::Ok || s.LinkEpoch != link)
        return;
    Bytes newName;
    if (!TakeNewName(s, edited, newName) || s.LinkEpoch != link)
        return;
    if (newName == oldName)
        return;

    // The temporary file comes first: when it cannot be made, nothing has changed
    // and nothing is busy yet.
    std::string error;
    if (!CreateRenameTempFile(s, error)) {
        s.Report(Message(MessageKind::LocalFile, MessageId::TempFileNotCreated, {error}));
        return;
    }

    // The new name may be taken: ask until it is free or the user gives in.
    std::string proposal = edited;
    while (HasFile(s.CurrentFolder, newName) && proposal != oldUtf8) {
        const ModalResult answer = s.Ui->FileExistDialog(oldUtf8, proposal);
        if (s.LinkEpoch != link)
            break;
        if (answer == ModalResult::Ok) {
            if (!TakeNewName(s, proposal, newName)) {
                RemoveRenameTempFile(s);
                return;
            }
        } else if (answer == ModalResult::Overwrite && proposal == oldUtf8) {
            newName = oldName;
            break;
        } else if (answer == ModalResult::Overwrite) {
            s.RenameOverwrite = 1;
            RemoveFile(newName, s.CurrentFolder);
        } else {
            newName = oldName;
            break;
        }
    }
    if (s.LinkEpoch != link) {
        // The line went while a question was open: nothing was changed yet.
        RemoveRenameTempFile(s);
        return;
    }
    s.RenameOldName = oldName;
    s.RenameNewName = newName;

    if (PhoneFileEntry* entry = FindFile(s.CurrentFolder, oldName)) {
        s.RenameSize = entry->Size;
        entry->Name = newName.substr(0, kFileNameMax);
        // One block more than whole blocks, even for a size that is a multiple of 512.
        s.Progress.ProgressBar1.SetMax(std::max<int32_t>(entry->Size, 0) / 512 + 1);
    }
    s.Progress.LongStatus = Text(MessageId::RenamingFile, {Show(oldName)});
    // Busy from here on: no other operation may start while the folder changes.
    s.ShowProgress();
    s.EnableMainWindow(false);

    StartBatch(s, RenameStep);
}

void RenameStep(Session& s) {
    ProgressModel& p = s.Progress;
    switch (s.OperationStep) {
        case 0: {
            p.QuickStatus = Text(MessageId::CopyingToTemp);
            s.EnableMainWindow(false);
            s.ShowProgress();
            p.ProgressBar2.SetMax(4);
            p.ProgressBar2.SetPosition(0);
            s.ProgressUpdated();
            if (!s.LocalFile.IsOpen() || s.LocalFile.Path() != s.TempFilePath) {
                std::string error;
                if (!CreateRenameTempFile(s, error)) {
                    FailRename(
                        s, Message(MessageKind::LocalFile, MessageId::TempFileNotCreated, {error}));
                    return;
                }
            }
            s.DownloadTarget = s.TempFilePath;
            s.BatchStep = RenameStep;
            s.OperationStep = 1;
            Bytes utf8;
            AnsiToUtf8(s.RenameOldName, utf8);
            StartRead(s, utf8, s.RenameSize);
            return;
        }
        case 1: {
            p.ProgressBar2.StepIt();
            s.ProgressUpdated();
            // The phone's copy is erased next: go on only with a faithful copy here,
            // of a size a Write command can announce.
            bool failed = true;
            Message problem;
            try {
                s.LocalFile.OpenRead(s.TempFilePath);
                if (s.LocalFile.Size() > INT32_MAX)
                    problem = Message(MessageKind::Refused, MessageId::RenameTooLarge);
                else if (s.ExpectedCrc != static_cast<int64_t>(LocalFileCrc32(s)))
                    problem = Message(MessageKind::Checksum, MessageId::RenameReadBadly);
                else
                    failed = false;
            } catch (const IoError& e) {
                problem = Message(MessageKind::LocalFile, MessageId::TempFileNotOpened, {e.what()});
            }
            if (failed) {
                FailRename(s, std::move(problem));
                return;
            }
            s.CurrentOperation = OperationState::ChangingFolder;
            s.OperationStep = 2;
            if (s.RenameOverwrite == 1) {
                Bytes utf8;
                AnsiToUtf8(s.RenameNewName, utf8);
                SendPhoneCommand(s, PhoneCommand::Erase, utf8);
                s.TimerOn();
                return;
            }
            RenameStep(s);
            return;
        }
        case 2: {
            p.QuickStatus = Text(MessageId::DeletingOldFile);
            p.ProgressBar2.StepIt();
            s.ProgressUpdated();
            // From the erase on, the temporary file may be the only copy.
            s.RenameRescuePath = s.TempFilePath;
            Bytes utf8;
            AnsiToUtf8(s.RenameOldName, utf8);
            s.CurrentOperation = OperationState::ChangingFolder;
            SendPhoneCommand(s, PhoneCommand::Erase, utf8);
            s.OperationStep = 3;
            s.TimerOn();
            return;
        }
        case 3: {
            p.QuickStatus = Text(MessageId::CopyingWithNewName);
            p.ProgressBar2.StepIt();
            s.ProgressUpdated();
            Bytes utf8;
            AnsiToUtf8(s.RenameNewName, utf8);
            try {
                if (!s.LocalFile.IsOpen())
                    s.LocalFile.OpenRead(s.TempFilePath);
                s.UploadSize = static_cast<int32_t>(s.LocalFile.Size());
                s.CurrentOperation = OperationState::Writing;
                // OperationStep is still 3 here: no melody header goes ahead.
                SendPhoneCommand(s, PhoneCommand::Write, utf8);
            } catch (const IoError& e) {
                FailRename(s,
                           Message(MessageKind::LocalFile, MessageId::TempFileNotRead, {e.what()}));
                return;
            }
            s.OperationStep = 4;
            s.TimerOn();
            return;
        }
        case 4: {
            p.QuickStatus = Text(MessageId::FinishingOperation);
            s.ProgressUpdated();
            AddFile(s.CurrentFolder, s.RenameNewName, s.UploadSize);
            ShowFolder(s, s.CurrentFolder);
            s.OperationStep = 0;
            s.CurrentOperation = OperationState::Idle;
            s.CloseProgress();
            s.EnableMainWindow(true);
            // The file is on the phone again under its new name.
            s.RenameRescuePath.clear();
            RemoveRenameTempFile(s);
            RereadCurrentFolder(s);
            return;
        }
        default:
            return;
    }
}

void NoteRenameRescue(Session& s) {
    if (!s.RenameRescuePath.empty()) {
        const std::string temp = s.RenameRescuePath;
        s.RenameRescuePath.clear();
        if (s.LocalFile.Path() == temp)
            s.LocalFile.Close();
        // The file now belongs to the user; a later rename will not touch it.
        if (s.TempFilePath == temp)
            s.TempFilePath.clear();
        const std::string path = KeepRescuedFile(s, temp);
        UndoRenameInModel(s, true);
        s.Report(Message(MessageKind::Notice, MessageId::RescuedFileKept, {path}));
        return;
    }
    // A rename that stopped before the erase (whatever ran since): its temporary
    // copy is of no use. A completed rename has removed its file already.
    if (!s.TempFilePath.empty())
        UndoRenameInModel(s, false);
    RemoveRenameTempFile(s);
}

// ---------------------------------------------------------------------------

void RereadFolder(Session& s) {
    NoteRenameRescue(s);
    RereadCurrentFolder(s);
}

void RebuildJavaRegistry(Session& s) {
    if (!s.PhoneTree)
        return;
    s.OperationStep = 0;
    s.Progress.LongStatus = Text(MessageId::CompilingJava);
    s.Progress.QuickStatus = Text();
    s.EnableMainWindow(false);
    s.ShowProgress();
    for (ProgressBarModel* bar : {&s.Progress.ProgressBar1, &s.Progress.ProgressBar2}) {
        bar->SetMax(7);
        bar->SetPosition(0);
    }
    s.ProgressUpdated();
    s.SetStatusText(Text(MessageId::CompilingJava));
    StartJavaRegistryRebuild(s);
}

void RequestAbort(Session& s) {
    s.AbortRequested = true;
    if (s.Steps.active)
        s.Steps.stop = true;
    s.SetLongStatus(Text(MessageId::FinishingCurrentOperation));
}

}  // namespace orvo
