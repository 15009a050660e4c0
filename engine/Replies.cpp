#include "engine/Replies.h"

#include <string>

#include "engine/FileOperations.h"
#include "engine/Navigation.h"
#include "phonefs/PhoneTree.h"
#include "protocol/CRC.h"

std::size_t StoreDataBlock(Session& s, const Bytes& block) {
    const Bytes data = DataLineBytes(block);
    s.LocalFile.Write(data.data(), data.size());
    s.ReadCrc = Crc32Update(s.ReadCrc, data.data(), data.size());
    return data.size();
}

namespace {

MessageId OperationError(OperationState operation) {
    switch (operation) {
        case OperationState::Initialising:
            return MessageId::PhoneErrorInitialising;
        case OperationState::Listing:
            return MessageId::PhoneErrorListing;
        case OperationState::Reading:
            return MessageId::PhoneErrorReading;
        case OperationState::Writing:
            return MessageId::PhoneErrorWriting;
        case OperationState::Erasing:
            return MessageId::PhoneErrorErasing;
        case OperationState::CompilingJava:
            return MessageId::PhoneErrorCompilingJava;
        case OperationState::Caching:
            return MessageId::PhoneErrorCaching;
        case OperationState::ChangingFolder:
            return MessageId::PhoneErrorChangingFolder;
        case OperationState::Overwriting:
            return MessageId::PhoneErrorOverwriting;
        default:
            return MessageId::PhoneErrorUnknown;
    }
}

}  // namespace

void ReportPhoneError(Session& s, const Bytes& line) {
    const int32_t code = ParseErrorCode(line);
    // The front end says what the code means where the program knows.
    Message message(MessageKind::PhoneRefused, OperationError(s.CurrentOperation),
                    {std::to_string(code)});
    // The folder is re-read once after an error. When that re-read fails too, the
    // phone keeps refusing the listing: stop rather than start another one.
    const bool rereadFailed =
        s.RereadAfterError && (s.CurrentOperation == OperationState::Listing ||
                               s.CurrentOperation == OperationState::Caching);
    s.RereadAfterError = false;

    s.CurrentOperation = OperationState::Idle;
    s.OperationStep = 0;
    s.TimerOff();
    s.EnableMainWindow(true);
    // The failed transfer ends here; do not leave its local file open.
    s.LocalFile.Close();
    const uint32_t link = s.LinkEpoch;
    s.Report(std::move(message));
    // The refusal ends the batch: whoever started it hears of the end.
    s.EndWork();
    s.CloseProgress();
    NoteRenameRescue(s);
    if (rereadFailed || s.LinkEpoch != link)
        return;
    s.RereadAfterError = true;
    RereadCurrentFolder(s);
    if (s.CurrentOperation != OperationState::Listing &&
        s.CurrentOperation != OperationState::Caching)
        s.RereadAfterError = false;  // nothing to re-read (no folder shown, say)
}
