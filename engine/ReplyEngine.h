// The reply-driven state machine behind every phone operation.
#pragma once

#include "engine/Session.h"

namespace orvo {

void ProcessReplies(Session& s);

// After the phone answered a reset, the line must stay quiet this long before the
// first listing: kSettleQuietMs once every reset sent has its "OK", kSettleLateMs
// (longer than the interval between resets) while some are still unanswered.
constexpr int kSettleQuietMs = 250;
constexpr int kSettleLateMs = 2500;
// The line stayed quiet after the reset's answer: what came meanwhile is dropped
// and the caching pass starts.
void FinishReset(Session& s);

}  // namespace orvo
