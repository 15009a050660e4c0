#include "engine/Replies.h"

#include <string>

#include "engine/FileOperations.h"
#include "engine/Navigation.h"
#include "engine/ReplyEngine.h"
#include "phonefs/PhoneTree.h"
#include "protocol/CRC.h"

namespace orvo {

std::size_t StoreDataBlock(Session& s, const Bytes& block) {
    const Bytes data = DataLineBytes(block);
    s.LocalFile.Write(data.data(), data.size());
    s.Read.Crc = Crc32Update(s.Read.Crc, data.data(), data.size());
    return data.size();
}

void ReportPhoneError(Session& s, const Bytes& line) {
    const int32_t code = ParseErrorCode(line);
    // The front end says what the code means where the program knows.
    const OperationRow* row = OperationRowFor(s.CurrentOperation);
    Message message(MessageKind::PhoneRefused, row ? row->refused : MessageId::PhoneErrorUnknown,
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

}  // namespace orvo
