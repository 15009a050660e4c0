#include "engine/ReceiveHandler.h"

#include <algorithm>

#include "engine/FileOperations.h"
#include "engine/PhoneCommands.h"
#include "engine/ReplyEngine.h"
#include "protocol/Framing.h"
#include "protocol/ReplyParsing.h"

namespace orvo {

namespace {

void HandleChunk(Session& s, const uint8_t* buffer, uint16_t bufferLength);
void HandleWatchdog(Session& s);
void HandleConnectionLost(Session& s, const std::string& portName);

// A marker ended a block of the running read. Whether the block's second field is
// its length decides how the following blocks are framed; the answer to the marker
// goes out next and tells the port so before the phone sends the next block.
void LearnBlockFraming(Session& s, const Bytes& chunkBytes) {
    if (s.Read.Framing == ReadState::BlockFraming::QuietGap)
        return;
    // This block came while the port framed blocks by their length.
    if (s.Read.Framing == ReadState::BlockFraming::ByLength && s.Line.PortFrames)
        s.Read.UsedLength = true;
    const Bytes pending = s.ReceiveBuffer + chunkBytes;
    // The data line is the first line that is not the read's header; it runs to the
    // end of what has arrived.
    std::size_t at = 0;
    for (;;) {
        DataLinePrefix prefix;
        if (ParseDataLinePrefix(pending.data() + at, pending.size() - at, prefix) ==
                PrefixParse::Complete &&
            prefix.number != 0)
            break;
        at = pending.find('\n', at);
        if (at == Bytes::npos)
            return;  // the block went to the engine with an earlier chunk
        ++at;
    }
    if (DataLineLengthAgrees(pending.substr(at))) {
        s.Read.Framing = ReadState::BlockFraming::ByLength;
    } else {
        s.Read.Framing = ReadState::BlockFraming::QuietGap;
    }
}

}  // namespace

void ReceiveChunk(Session& s, const uint8_t* buffer, uint16_t bufferLength) {
    {
        EngineEntry entry(s);
        HandleChunk(s, buffer, bufferLength);
    }
    s.AdvanceSteps();
}

void WatchdogExpired(Session& s) {
    {
        EngineEntry entry(s);
        HandleWatchdog(s);
    }
    s.AdvanceSteps();
}

void ConnectionLost(Session& s, const std::string& portName) {
    {
        EngineEntry entry(s);
        HandleConnectionLost(s, portName);
    }
    s.AdvanceSteps();
}

namespace {

void HandleChunk(Session& s, const uint8_t* buffer, uint16_t bufferLength) {
    const FramedChunk chunk = FrameChunk(s.Line.HeldMarkerBytes, s.Line.HeldMarkerStale, buffer,
                                         bufferLength, s.CurrentOperation == OperationState::Idle);
    if (chunk.answerMarker && s.CurrentOperation == OperationState::Reading)
        LearnBlockFraming(s, chunk.bytes);
    if (chunk.answerMarker)
        s.PortWrite(kMarkerAnswer);
    if (s.CurrentOperation == OperationState::Reading)
        s.Read.BytesReceived += static_cast<int64_t>(chunk.bytes.size());
    s.ReceiveBuffer += chunk.bytes;
    ProcessReplies(s);
}

void HandleWatchdog(Session& s) {
    s.TimerOff();
    ProcessSilence(s);
}

}  // namespace

void InitialisePhone(Session& s) {
    // Nothing of an earlier connection carries over into this one.
    s.Line = LineState{};
    SendPhoneCommand(s, PhoneCommand::Reset, Bytes());
    s.CurrentOperation = OperationState::Initialising;
    s.OperationStep = 0;
    s.Wake = WakeState{};
    s.Wake.ResetsSent = 1;
    s.RereadAfterError = false;
    s.SetTimerInterval(1000);
    s.TimerOn();
    s.SetStatusText(Text(MessageId::InitialisingPhone));
    s.SetLongStatus(Text(MessageId::InitialisingProgram));
    s.EnableMainWindow(false);
}

namespace {

void HandleConnectionLost(Session& s, const std::string& portName) {
    ++s.LinkEpoch;
    s.TimerOff();
    s.CurrentOperation = OperationState::Idle;
    s.OperationStep = 0;
    s.BatchStep = nullptr;
    s.RereadAfterError = false;
    s.AbortRequested = false;
    // A download in progress never reaches its final name.
    s.LocalFile.Close();
    s.ReceiveBuffer.clear();
    s.Line = LineState{};
    if (s.Port)
        s.Port->Close();
    s.CloseProgress();
    s.EnableMainWindow(true);
    s.Report(Message(MessageKind::LineLost, MessageId::LineLost, {portName}));
    s.EndWork();
    NoteRenameRescue(s);
    if (s.Ui)
        s.Ui->RestartConnection();
}

}  // namespace

}  // namespace orvo
