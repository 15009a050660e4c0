// The per-file step of a copy to the phone.
#pragma once

#include "engine/Session.h"

namespace orvo {

constexpr int64_t kLargestUpload = 616448;

void PrepareNextUpload(Session& s);

}  // namespace orvo
