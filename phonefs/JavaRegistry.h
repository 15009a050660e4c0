// Rebuilding the phone's Java application registry ("suites.utf", "suitesName.utf").
#pragma once

#include "protocol/Session.h"

void StartJavaRegistryRebuild(Session& s);
void JavaRegistryStep(Session& s);
