#include "protocol/ReceiveHandler.h"

#include "protocol/ReplyEngine.h"

namespace {

const Bytes kMarker = "#OK#";
const Bytes kMarkerAnswer = "##>\r\n";
const Bytes kReset = "ATZ\r\n";

// Ends an operation whose reply never came, leaving the window usable.
void EndSilentOperation(Session& s, const std::string& text, const std::string& caption) {
    s.CurrentOperation = Idle;
    s.LocalFile.Close();
    s.Message(text, caption);
    s.CloseProgress();
    s.EnableMainWindow(true);
}

}  // namespace

void Comm321ReceiveData(Session& s, const uint8_t* buffer, uint16_t bufferLength) {
    Bytes chunk(reinterpret_cast<const char*>(buffer), bufferLength);
    // The phone puts its marker behind a data line and waits for the answer. Take
    // out the last one of the chunk, so that file bytes which happen to spell the
    // marker earlier in the line stay intact.
    std::size_t at = chunk.rfind(kMarker);
    if (at != Bytes::npos) {
        s.PortWrite(kMarkerAnswer);
        chunk.erase(at, kMarker.size());
    }
    s.ReceiveBuffer += chunk;
    ProcessReplies(s);
}

void Timer1Timer(Session& s) {
    s.TimerOff();
    switch (s.CurrentOperation) {
        case Initialising:
            if (s.OperationStep <= 10) {
                ++s.OperationStep;
                s.PortWrite(kReset);
                s.TimerOn();
            } else {
                s.Message("Время ожидания истекло", "Ошибка");
                if (s.Port)
                    s.Port->Close();
                if (s.Ui)
                    s.Ui->RestartConnection();
            }
            break;
        case Listing:
            EndSilentOperation(s, "Ошибка соединения\r\nво время чтения файла", "Ошибка");
            break;
        case Reading:
            EndSilentOperation(s, "Ошибка соединения\r\nво время записи файла", "Error");
            break;
        case Writing:
        case Erasing:
        case CompilingJava:
        case ChangingFolder:
        case Overwriting:
            EndSilentOperation(s, "Телефон не отвечает", "Ошибка");
            break;
        case Caching:
            if (s.Port)
                s.Port->Close();
            s.CurrentOperation = Idle;
            s.CloseProgress();
            s.Message("Телефон не отвечает", "Ошибка");
            if (s.Ui)
                s.Ui->RestartConnection();
            break;
        default:
            break;
    }
}

void InitialisePhone(Session& s) {
    s.PortWrite(kReset);
    s.CurrentOperation = Initialising;
    s.OperationStep = 0;
    s.SetTimerInterval(1000);
    s.TimerOn();
    s.SetStatusText("Инициализируем телефон");
    s.SetLongStatus("Инициализируем программу");
    s.EnableMainWindow(false);
}
