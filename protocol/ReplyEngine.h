// The reply-driven state machine behind every phone operation.
#pragma once

#include "protocol/Session.h"

void ProcessReplies(Session& s);
