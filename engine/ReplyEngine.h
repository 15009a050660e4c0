// The reply-driven state machine behind every phone operation.
//
// Each state that awaits a reply of the phone has one row in the operation table
// (ReplyEngine.cpp): what an "OK" continues with, what the state's other reply
// lines mean, what the phone's refusal is called and what the watchdog does when
// the phone falls silent. An error line ("+CME ERROR: ") is recognised here, once,
// for every state. A new operation is a new state with its row.
#pragma once

#include "engine/Session.h"

namespace orvo {

// How far the scan of the received lines got.
enum class Scan {
    More,        // the line was taken: go on with the next one
    Done,        // the line ended the scan for this chunk
    Incomplete,  // the reply is not complete yet: wait for more bytes
};

// What one operation state makes of the phone's replies.
struct OperationRow {
    OperationState state;
    // Lines of the state's own replies that start so may spell the error mark in a
    // name or in file bytes: they are never an error report. Null: none.
    const char* ownLines;
    // An error line ends the operation as a refusal (false while waking the phone:
    // only its "OK"s count then).
    bool errorsEnd;
    // The refusal's message; it carries the phone's code.
    MessageId refused;
    // The phone fell silent: the message and the caption of its box.
    MessageId silent;
    MessageId silentCaption;
    // "OK\r\n".
    Scan (*onOk)(Session& s);
    // Any other line that is not an error report; null: passed over.
    Scan (*onLine)(Session& s, const Bytes& line);
    // The watchdog ran out in this state.
    void (*onSilence)(Session& s, const OperationRow& row);
};

// The row of a state; null for Idle and for numbers that await no reply.
const OperationRow* OperationRowFor(OperationState state);

// A received chunk is in the receive buffer: act on the complete lines.
void ProcessReplies(Session& s);
// The watchdog's interval passed without the awaited reply (the watchdog is off).
void ProcessSilence(Session& s);

// After the phone answered a reset, the line must stay quiet this long before the
// first listing: kSettleQuietMs once every reset sent has its "OK", kSettleLateMs
// (longer than the interval between resets) while some are still unanswered.
constexpr int kSettleQuietMs = 250;
constexpr int kSettleLateMs = 2500;
// The line stayed quiet after the reset's answer: what came meanwhile is dropped
// and the caching pass starts.
void FinishReset(Session& s);

}  // namespace orvo
