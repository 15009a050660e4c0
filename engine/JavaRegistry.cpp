#include "engine/JavaRegistry.h"

#include <cstring>
#include <string>

#include "engine/Navigation.h"
#include "engine/PhoneCommands.h"
#include "phonefs/PhoneTree.h"
#include "phonefs/SuitesList.h"
#include "protocol/CRC.h"

namespace orvo {

namespace {

constexpr std::size_t kBlock = 512;

void AdvanceBars(Session& s) {
    s.Progress.ProgressBar1.SetPosition(s.Progress.ProgressBar1.Position + 1);
    s.Progress.ProgressBar2.SetPosition(s.Progress.ProgressBar2.Position + 1);
    s.ProgressUpdated();
}

// Ends the rebuild without touching the phone any further.
void Finish(Session& s) {
    s.CurrentOperation = OperationState::Idle;
    s.OperationStep = 0;
    s.TimerOff();
    s.EnableMainWindow(true);
    s.CloseProgress();
}

// Writes the command line for a registry file whose bytes are at the start of
// TransferBuffer.
void SendRegistryWrite(Session& s, const char* name, std::size_t length) {
    uint32_t crc = Crc32(s.TransferBuffer.data(), length);
    s.PortWrite(FormatWriteCommand(name, static_cast<uint32_t>(length), crc));
}

// The first caching pass sizes TransferBuffer; never rely on it here.
void EnsureTransferBuffer(Session& s) {
    if (s.TransferBuffer.size() < kTransferBufferSize)
        s.TransferBuffer.resize(kTransferBufferSize);
}

}  // namespace

void StartJavaRegistryRebuild(Session& s) {
    PhoneNode* java = FindChildFolder("java", s.PhoneTree.get());
    if (!java || java->Name != "java") {
        Finish(s);
        s.Report(Message(MessageKind::Refused, MessageId::JavaFolderMissing));
        return;
    }

    Bytes records;
    if (!BuildSuitesList(*java, records)) {
        Finish(s);
        s.Report(Message(MessageKind::Refused, MessageId::TooManyJavaApps,
                         {std::to_string(kSuitesListSize)}));
        return;
    }
    std::memcpy(s.SuitesList, records.data(), records.size());
    s.SuitesListLength = static_cast<int32_t>(records.size());

    s.CurrentOperation = OperationState::CompilingJava;
    s.OperationStep = 0;
    JavaRegistryStep(s);
}

namespace {

// Performs the step in OperationStep; true when the phone's answer is awaited.
bool RunStep(Session& s, PhoneNode* java) {
    const std::size_t length = static_cast<std::size_t>(s.SuitesListLength);
    switch (s.OperationStep) {
        case 0:
            SendPhoneCommand(s, PhoneCommand::ChangeFolder,
                             Bytes(1, static_cast<char>(java->Code)));
            s.QueuePosition = 0;
            s.CurrentOperation = OperationState::CompilingJava;
            s.SetQuickStatus(Text(MessageId::EnteringJava));
            AdvanceBars(s);
            return true;
        case 1:
            AdvanceBars(s);
            if (HasFile(java, kSuitesFile)) {
                s.SetQuickStatus(Text(MessageId::Deleting, {"suites.utf"}));
                SendPhoneCommand(s, PhoneCommand::Erase, kSuitesFile);
                RemoveFile(kSuitesFile, java);
                return true;
            }
            s.OperationStep = 2;
            [[fallthrough]];
        case 2:
            AdvanceBars(s);
            if (HasFile(java, kSuitesNameFile)) {
                s.SetQuickStatus(Text(MessageId::Deleting, {"suitesName.utf"}));
                SendPhoneCommand(s, PhoneCommand::Erase, kSuitesNameFile);
                RemoveFile(kSuitesNameFile, java);
                return true;
            }
            s.OperationStep = 3;
            [[fallthrough]];
        case 3:
            EnsureTransferBuffer(s);
            if (length > 0)
                std::memcpy(s.TransferBuffer.data(), s.SuitesList, length);
            s.SetQuickStatus(Text(MessageId::SendingWriteCommand, {"suites.utf"}));
            SendRegistryWrite(s, kSuitesFile, length);
            s.OperationStep = 4;
            AdvanceBars(s);
            return true;
        case 4: {
            const std::size_t sent = static_cast<std::size_t>(s.QueuePosition);
            const std::size_t rest = length > sent ? length - sent : 0;
            const std::size_t piece = rest >= kBlock ? kBlock : rest;
            s.SetQuickStatus(Text(MessageId::WritingFile, {"suites.utf"}));
            if (piece > 0) {
                EnsureTransferBuffer(s);
                std::memcpy(s.TransferBuffer.data(), s.SuitesList + sent, piece);
                s.PortWrite(s.TransferBuffer.data(), piece);
                s.QueuePosition += static_cast<int32_t>(piece);
            }
            AdvanceBars(s);
            return true;
        }
        case 5:
            EnsureTransferBuffer(s);
            std::memcpy(s.TransferBuffer.data(), kSuitesName, kSuitesNameLength);
            s.SetQuickStatus(Text(MessageId::SendingWriteCommand, {"suitesName.utf"}));
            SendRegistryWrite(s, kSuitesNameFile, kSuitesNameLength);
            s.OperationStep = 6;
            s.QueuePosition = 0;
            AdvanceBars(s);
            return true;
        case 6:
            s.SetQuickStatus(Text(MessageId::WritingFile, {"suitesName.utf"}));
            s.PortWrite(kSuitesName, kSuitesNameLength);
            s.QueuePosition = static_cast<int32_t>(kSuitesNameLength);
            AdvanceBars(s);
            return true;
        case 7:
            s.Progress.ProgressBar1.SetPosition(s.Progress.ProgressBar1.Position + 1);
            AddFile(java, kSuitesFile, s.SuitesListLength);
            AddFile(java, kSuitesNameFile, static_cast<int32_t>(kSuitesNameLength));
            s.Progress.ProgressBar1.SetPosition(0);
            Finish(s);
            if (s.CurrentFolder && s.CurrentFolder->Name == "java")
                ShowFolder(s, s.CurrentFolder);
            return false;
        default:
            return false;
    }
}

}  // namespace

void JavaRegistryStep(Session& s) {
    PhoneNode* java = FindChildFolder("java", s.PhoneTree.get());
    if (!java || java->Name != "java")
        return;
    // Every command and block of the rebuild is timed: a phone that falls silent
    // ends the rebuild through the watchdog instead of leaving the window disabled.
    if (RunStep(s, java))
        s.TimerOn();
}

bool JavaRegistryReply(Session& s, bool prompt) {
    const int32_t length = s.SuitesListLength;
    switch (s.OperationStep) {
        case 0:
        case 1:
        case 2:
            // The change-folder and the erases end with "OK".
            if (prompt)
                return false;
            ++s.OperationStep;
            JavaRegistryStep(s);
            return true;
        case 4:
            // suites.utf: one block per prompt while bytes are left, then "OK".
            if (prompt) {
                if (s.QueuePosition >= length)
                    return false;
                JavaRegistryStep(s);
                return true;
            }
            if (s.QueuePosition < length)
                throw ConversionError(ReplyFault::EarlyOk, "suites.utf");
            ++s.OperationStep;
            JavaRegistryStep(s);
            return true;
        case 6:
            // suitesName.utf: its bytes go once, on the first prompt.
            if (prompt) {
                if (s.QueuePosition != 0)
                    return false;
                JavaRegistryStep(s);
                return true;
            }
            if (s.QueuePosition == 0)
                throw ConversionError(ReplyFault::EarlyOk, "suitesName.utf");
            ++s.OperationStep;
            JavaRegistryStep(s);
            return true;
        default:
            return false;
    }
}

}  // namespace orvo
