// Rebuilding the phone's Java application registry ("suites.utf", "suitesName.utf").
#pragma once

#include "engine/Session.h"

namespace orvo {

void StartJavaRegistryRebuild(Session& s);
void JavaRegistryStep(Session& s);
// A reply of the phone during the rebuild ("OK" or the write prompt "##>"). Each
// step moves only on the reply it waits for: the "OK" of the change-folder and of
// each erase, a prompt for each block of a registry file, the "OK" once a file is
// written. Returns false when the reply was not awaited and is passed over.
// Throws ConversionError for an "OK" that ends a registry file before its bytes.
bool JavaRegistryReply(Session& s, bool prompt);

}  // namespace orvo
