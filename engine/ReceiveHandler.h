// The receive handler and the reply watchdog.
#pragma once

#include <string>

#include "engine/Session.h"

void Comm321ReceiveData(Session& s, const uint8_t* buffer, uint16_t bufferLength);
void Timer1Timer(Session& s);
// Start-up: sends the first reset and puts the window into the initialising state.
void InitialisePhone(Session& s);
// The line to the phone is gone (the cable was pulled, the device vanished): ends
// whatever runs at once, discards a partial download, closes the port, tells the
// user which port was lost and offers the settings again.
void ConnectionLost(Session& s, const std::string& portName);
