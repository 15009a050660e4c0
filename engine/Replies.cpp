#include "engine/Replies.h"

#include <string>

#include "engine/FileOperations.h"
#include "engine/Navigation.h"
#include "phonefs/PhoneTree.h"
#include "protocol/CRC.h"

namespace orvo {

std::size_t StoreDataBlock(Session& s, const Bytes& block) {
    const Bytes data = DataLineBytes(block);
    s.LocalFile.Write(data.data(), data.size());
    s.ReadCrc = Crc32Update(s.ReadCrc, data.data(), data.size());
    return data.size();
}

namespace {

std::string OperationText(int32_t operation) {
    switch (operation) {
        case Initialising:
            return "Ошибка во время инициализации телефона";
        case Listing:
            return "Ошибка чтения каталога";
        case Reading:
            return "Ошибка чтения файла";
        case Writing:
            return "Ошибка записи файла";
        case Erasing:
            return "Ошибка удаления файла";
        case CompilingJava:
            return "Ошибка компиляции JAVA";
        case Caching:
            return "Ошибка кэширования спика файлов";
        case ChangingFolder:
            return "Х.З. Что за ошибка";
        case Overwriting:
            return "Ошибка перезаписи файла";
        default:
            return "Неопознанная ошибка";
    }
}

}  // namespace

void ReportPhoneError(Session& s, const Bytes& line) {
    const int32_t code = ParseErrorCode(line);
    std::string detail;
    if (code == 11)
        detail = "Файл не найден";
    else if (code == 2007)
        detail = "Память заполнена";
    std::string text = OperationText(s.CurrentOperation) + "\r\n" + detail;
    // The folder is re-read once after an error. When that re-read fails too, the
    // phone keeps refusing the listing: stop rather than start another one.
    const bool rereadFailed =
        s.RereadAfterError && (s.CurrentOperation == Listing || s.CurrentOperation == Caching);
    s.RereadAfterError = false;

    s.CurrentOperation = Idle;
    s.OperationStep = 0;
    s.TimerOff();
    s.EnableMainWindow(true);
    // The failed transfer ends here; do not leave its local file open.
    s.LocalFile.Close();
    const uint32_t link = s.LinkEpoch;
    s.Message(MessageKind::PhoneRefused, text, "Ошибка");
    // The refusal ends the batch: whoever started it hears of the end.
    s.EndWork();
    s.CloseProgress();
    NoteRenameRescue(s);
    if (rereadFailed || s.LinkEpoch != link)
        return;
    s.RereadAfterError = true;
    RereadCurrentFolder(s);
    if (s.CurrentOperation != Listing && s.CurrentOperation != Caching)
        s.RereadAfterError = false;  // nothing to re-read (no folder shown, say)
}

}  // namespace orvo
