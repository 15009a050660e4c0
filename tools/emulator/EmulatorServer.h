// The emulated phone on a pseudo-terminal: the master side's poll loop, the line's
// pacing, the port's closes and reopens, the replay of a trace and the signals.
#pragma once

#include <memory>
#include <string>

#include "tools/emulator/EmulatorOptions.h"
#include "tools/emulator/PhoneEmulatorReplay.h"

// Makes a pseudo-terminal with a raw, non-blocking line; returns the master side and
// puts the slave's path into `slavePath`, or -1 (with the fault on stderr).
int OpenPort(std::string& slavePath);

// SIGINT, SIGTERM, SIGHUP and SIGUSR1 go to the serving loop; SIGPIPE is ignored.
bool CatchSignals();

// Serves the phone on `master` until a termination signal or the replay's end;
// returns the exit status.
int Serve(int master, const EmulatorOptions& options, std::unique_ptr<TraceReplay> replay);
