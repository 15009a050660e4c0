#include "engine/UploadPreparation.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "engine/LocalFileSystem.h"
#include "engine/Navigation.h"
#include "engine/PhoneCommands.h"
#include "phonefs/CodePage.h"
#include "phonefs/NamingRules.h"
#include "phonefs/PhoneTree.h"

namespace orvo {

namespace {

// Ends the copy batch: nothing is outstanding any more.
void EndBatch(Session& s) {
    s.CurrentOperation = OperationState::Idle;
    s.LocalFile.Close();
    s.EnableMainWindow(true);
    s.CloseProgress();
    ShowFolder(s, s.CurrentFolder);
    s.TimerOff();
    s.EndWork();
}

// The name as the phone model holds it (CP1251); false when the code page has no
// room for it or the phone's commands cannot carry it.
bool PhoneNameFor(const std::string& utf8, Bytes& ansi) {
    return Utf8ToAnsi(utf8, ansi) && IsUsablePhoneName(ansi);
}

Message NameRefusal(const std::string& utf8) {
    return Message(MessageKind::Refused, MessageId::NameNotWritable, {utf8});
}

Message ReadFailure(const std::string& path, const IoError& e) {
    return Message(MessageKind::LocalFile, MessageId::FileUnreadable, {path, e.what()});
}

// A file of the batch that is not sent: its message is shown with nothing
// outstanding, and the batch goes on with the next one.
void Refuse(Session& s, Message message) {
    s.LocalFile.Close();
    s.Report(std::move(message));
}

}  // namespace

namespace {

// "Default Sounds" keeps its melodies under the slot names melody01.mel to
// melody16.mel. Takes the first free slot, tests the signature on the bytes the
// file has and, for a bare melody, puts its header into TransferBuffer and sets
// header mode. False (after the message) when the file cannot go there.
bool PrepareMelody(Session& s, PhoneNode* folder, const std::string& path, std::string& utf8) {
    const std::string slot = FreeMelodySlot(*folder);
    if (slot.empty()) {
        Refuse(s, Message(MessageKind::Refused, MessageId::NoRoomForDefaultSound, {},
                          MessageId::CaptionErrorLatin));
        return false;
    }
    unsigned char head[kMelodySignatureBytes] = {};
    std::size_t got = 0;
    try {
        got = s.LocalFile.Read(head, sizeof head);
        s.LocalFile.Rewind();
    } catch (const IoError& e) {
        Refuse(s, ReadFailure(path, e));
        return false;
    }
    utf8 = slot;
    switch (ClassifyMelody(head, got)) {
        case MelodyKind::Bare: {
            if (s.TransferBuffer.size() < kTransferBufferSize)
                s.TransferBuffer.resize(kTransferBufferSize);
            const Bytes header = MelodyHeader(slot);
            std::copy(header.begin(), header.end(), s.TransferBuffer.begin());
            s.OperationStep = 1;
            return true;
        }
        case MelodyKind::WithHeader:
            return true;  // the file carries its own header already
        case MelodyKind::NotAMelody:
            break;
    }
    Refuse(s,
           Message(MessageKind::Refused, MessageId::NotAMelody, {}, MessageId::CaptionErrorLatin));
    return false;
}

}  // namespace

void PrepareNextUpload(Session& s) {
    const uint32_t link = s.LinkEpoch;
    // Each pass of the loop takes one selected file; a file that cannot be sent is
    // skipped with its message and the loop goes on with the next one, so the
    // batch always ends with a command outstanding or with the window enabled.
    for (;;) {
        // A question or message of this batch was open when the line went: the
        // batch ended there, nothing more goes out.
        if (s.LinkEpoch != link)
            return;
        s.OperationStep = 0;
        // Nothing is outstanding while this step runs; bytes that arrive while one
        // of its dialogs is open are dropped.
        s.CurrentOperation = OperationState::Idle;
        s.LocalFile.Close();

        if (s.AbortRequested) {
            s.AbortRequested = false;
            EndBatch(s);
            return;
        }
        PhoneNode* folder = s.CurrentFolder;
        // Files written back under their own names go where they came from, even
        // the root's own files.
        const bool asNamed = static_cast<bool>(s.Batch.Work.phoneNameFor);
        std::string path;
        if (!s.PhoneTree || !folder || (folder->Code == ' ' && !asNamed) ||
            !s.TakeLocalPath(path)) {
            EndBatch(s);
            return;
        }

        std::error_code ec;
        // Files written back from a backup are taken only as they lie there, never
        // through a symbolic link.
        if (asNamed && std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
            Refuse(s, Message(MessageKind::Refused, MessageId::FileIsLink, {path}));
            continue;
        }
        if (!std::filesystem::is_regular_file(path, ec))
            continue;

        int64_t size = 0;
        try {
            s.LocalFile.OpenRead(path, !asNamed);
            size = s.LocalFile.Size();
        } catch (const IoError& e) {
            Refuse(s, ReadFailure(path, e));
            continue;
        }
        if (size > kLargestUpload) {
            Refuse(s, Message(MessageKind::Refused, MessageId::FileTooLarge, {path},
                              MessageId::CaptionErrorColon));
            continue;
        }

        const std::string localName = local_fs::BaseNameOf(path);
        // The question and the model work on the name the file will have on the
        // phone, after the folder's naming rule.
        std::string utf8;  // the name on the wire
        if (asNamed) {
            if (!s.Batch.Work.phoneNameFor(path, utf8))
                utf8 = localName;
        } else {
            utf8 = NameOnPhone(*folder, localName);
        }
        Bytes name;  // CP1251, as the phone model holds it
        if (!PhoneNameFor(utf8, name)) {
            Refuse(s, NameRefusal(localName));
            continue;
        }

        // A melody goes into a free slot, so its name is never taken.
        const bool melody = !asNamed && folder->Name == "Default Sounds";
        const std::string shownName = utf8;
        std::string proposal = utf8;
        while (!melody && HasFile(folder, name)) {
            const ModalResult result = asNamed ? ModalResult::Overwrite
                                       : s.Ui  ? s.Ui->FileExistDialog(shownName, proposal)
                                               : ModalResult::Cancel;
            if (s.LinkEpoch != link)
                return;
            if (result == ModalResult::Ok) {
                const std::string candidateUtf8 = NameOnPhone(*folder, proposal);
                Bytes candidate;
                if (PhoneNameFor(candidateUtf8, candidate)) {
                    name = candidate;
                    utf8 = candidateUtf8;
                    proposal = candidateUtf8;
                } else {
                    s.Report(NameRefusal(proposal));
                }
                continue;
            }
            if (result == ModalResult::Overwrite) {
                // Erase the phone's file first; the engine brings us back here and
                // the same computer file, first in the work again, finds its name free.
                s.GiveBackLocalPath(path);
                s.LocalFile.Close();
                RemoveFile(name, folder);
                SendPhoneCommand(s, PhoneCommand::Erase, utf8);
                s.CurrentOperation = OperationState::Overwriting;
                s.TimerOn();
                return;
            }
            EndBatch(s);
            return;
        }

        if (melody && !PrepareMelody(s, folder, path, utf8))
            continue;

        Bytes finalName;
        if (!Utf8ToAnsi(utf8, finalName))
            finalName = name;

        s.UploadSize = static_cast<int32_t>(size) +
                       (s.OperationStep == 1 ? static_cast<int32_t>(kMelodyHeaderSize) : 0);
        try {
            SendPhoneCommand(s, PhoneCommand::Write, utf8);
        } catch (const IoError& e) {
            Refuse(s, ReadFailure(path, e));
            continue;
        }
        s.CurrentOperation = OperationState::Writing;
        AddFile(folder, finalName, s.UploadSize);
        // Progress counts the computer file's bytes (a melody's header aside).
        s.StartTransferFile(AnsiToUtf8Display(finalName), size);
        s.SetQuickStatus(Text(MessageId::CopyingToPhone, {AnsiToUtf8Display(finalName)}));
        s.Progress.ProgressBar1.SetMax(s.UploadSize / 512 + (s.UploadSize % 512 != 0 ? 1 : 0));
        s.ProgressUpdated();
        s.TimerOn();
        return;
    }
}

}  // namespace orvo
