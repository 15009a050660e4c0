#include "protocol/ReceiveHandler.h"

#include <algorithm>

#include "protocol/ReplyEngine.h"
#include "ui/FileOperations.h"

namespace {

const Bytes kMarker = "#OK#";
const Bytes kMarkerAnswer = "##>\r\n";
const Bytes kReset = "ATZ\r\n";

// How many bytes at the end of text are a proper prefix of the marker ("#",
// "#O" or "#OK"), so that the rest of the marker may come with the next chunk.
std::size_t MarkerStartAtEnd(const Bytes& text) {
    for (std::size_t n = kMarker.size() - 1; n > 0; --n) {
        if (text.size() >= n && text.compare(text.size() - n, n, kMarker, 0, n) == 0)
            return n;
    }
    return 0;
}

// Ends an operation whose reply never came, leaving the window usable.
void EndSilentOperation(Session& s, const std::string& text, const std::string& caption) {
    s.CurrentOperation = Idle;
    s.RereadAfterError = false;
    s.LocalFile.Close();
    s.Message(text, caption);
    s.CloseProgress();
    s.EnableMainWindow(true);
    NoteRenameRescue(s);
}

}  // namespace

void Comm321ReceiveData(Session& s, const uint8_t* buffer, uint16_t bufferLength) {
    // The start of a marker held back from the previous chunk goes in front. When
    // the bytes it followed were dropped, it is dropped too unless it turns out to
    // be the start of a marker: `stale` counts those bytes at the front.
    Bytes chunk = std::move(s.HeldMarkerBytes);
    std::size_t stale = s.HeldMarkerStale ? chunk.size() : 0;
    s.HeldMarkerBytes.clear();
    s.HeldMarkerStale = false;
    chunk.append(reinterpret_cast<const char*>(buffer), bufferLength);

    // The phone puts its marker behind a data line and waits for the answer. Take
    // out the last one of the chunk, so that file bytes which happen to spell the
    // marker earlier in the line stay intact.
    std::size_t at = chunk.rfind(kMarker);
    if (at != Bytes::npos) {
        s.PortWrite(kMarkerAnswer);
        chunk.erase(at, kMarker.size());
        if (at < stale)
            stale = 0;  // the held bytes were the start of this marker
    }

    // A chunk may end inside the marker. Hold those bytes back until the next
    // chunk shows whether they are one; they never end a reply line ("\n" does),
    // so no reply waits for them.
    if (std::size_t n = MarkerStartAtEnd(chunk)) {
        s.HeldMarkerBytes = chunk.substr(chunk.size() - n);
        chunk.resize(chunk.size() - n);
        // The engine drops whatever arrives while idle; these bytes too, unless
        // they complete a marker.
        s.HeldMarkerStale = s.CurrentOperation == Idle || chunk.size() < stale;
        stale = std::min(stale, chunk.size());
    }
    chunk.erase(0, stale);

    if (s.CurrentOperation == Reading)
        s.ReadBytesReceived += static_cast<int64_t>(chunk.size());
    s.ReceiveBuffer += chunk;
    ProcessReplies(s);
}

void Timer1Timer(Session& s) {
    s.TimerOff();
    switch (s.CurrentOperation) {
        case Initialising:
            if (s.ResetSettling) {
                FinishReset(s);
            } else if (s.OperationStep <= 10) {
                ++s.OperationStep;
                ++s.ResetsSent;
                s.PortWrite(kReset);
                s.TimerOn();
            } else {
                // The connection is given up: an "OK" arriving while the message
                // is open must not start a caching pass on a port about to close.
                s.CurrentOperation = Idle;
                s.Message("Время ожидания истекло", "Ошибка");
                if (s.Port)
                    s.Port->Close();
                NoteRenameRescue(s);
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
            s.RereadAfterError = false;
            s.CloseProgress();
            s.Message("Телефон не отвечает", "Ошибка");
            NoteRenameRescue(s);
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
    s.ResetsSent = 1;
    s.ResetsAnswered = 0;
    s.ResetSettling = false;
    s.SettleChunks = 0;
    // Nothing of an earlier connection carries over into this one.
    s.HeldMarkerBytes.clear();
    s.HeldMarkerStale = false;
    s.RereadAfterError = false;
    s.SetTimerInterval(1000);
    s.TimerOn();
    s.SetStatusText("Инициализируем телефон");
    s.SetLongStatus("Инициализируем программу");
    s.EnableMainWindow(false);
}

void ConnectionLost(Session& s, const std::string& portName) {
    ++s.LinkEpoch;
    s.TimerOff();
    s.CurrentOperation = Idle;
    s.OperationStep = 0;
    s.BatchStep = nullptr;
    s.RereadAfterError = false;
    s.AbortRequested = false;
    // A download in progress never reaches its final name.
    s.LocalFile.Close();
    s.ReceiveBuffer.clear();
    s.HeldMarkerBytes.clear();
    s.HeldMarkerStale = false;
    if (s.Port)
        s.Port->Close();
    s.CloseProgress();
    s.EnableMainWindow(true);
    s.Message("Связь с телефоном потеряна: порт " + portName +
                  " отключён или пропал\r\nПодключите кабель и нажмите \"Старт\"",
              "Ошибка");
    NoteRenameRescue(s);
    if (s.Ui)
        s.Ui->RestartConnection();
}
