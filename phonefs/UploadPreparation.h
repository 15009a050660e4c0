// The per-file step of a copy to the phone.
#pragma once

#include <string>

#include "protocol/Session.h"

constexpr int64_t kLargestUpload = 616448;

struct PhoneNode;

void PrepareNextUpload(Session& s);
// The name (UTF-8) a computer file of this name gets in folder on the phone: in
// "java" a ".jar" or ".jad" without "_suite" gains it before the extension; in
// "My Sounds" a name longer than 28 bytes keeps its first 24 and last 4 bytes.
// ("Default Sounds" gives each melody a free slot name of its own.)
std::string NameOnPhone(const PhoneNode& folder, std::string utf8);
