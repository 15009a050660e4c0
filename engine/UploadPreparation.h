// The per-file step of a copy to the phone.
#pragma once

#include "engine/Session.h"

constexpr int64_t kLargestUpload = 616448;

void PrepareNextUpload(Session& s);
