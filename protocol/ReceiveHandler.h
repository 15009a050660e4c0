// The receive handler and the reply watchdog.
#pragma once

#include "protocol/Session.h"

void Comm321ReceiveData(Session& s, const uint8_t* buffer, uint16_t bufferLength);
void Timer1Timer(Session& s);
// Start-up: sends the first reset and puts the window into the initialising state.
void InitialisePhone(Session& s);
