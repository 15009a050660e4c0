// Text at the edge of the Win32 calls: UTF-8 inside the program, UTF-16 for the
// system, and the system's own words for its error codes. Windows files only.
#pragma once

#include <string>

namespace orvo {

namespace serial_system {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
// The system's English text for a GetLastError() value, without the line break.
std::string Win32ErrorText(unsigned long code);
// "COM5" (any case) or "\\.\COM5" becomes the device name "\\.\COM5"; anything
// else is taken as the system's name for the device as it is.
std::wstring DeviceNameFor(const std::string& port);
// The errno-style reason Line::Open reports for CreateFileW's error: ENOENT (no
// such port), EBUSY (held by another program: Windows answers "access denied"),
// EACCES, else EIO.
int OpenFailureReason(unsigned long win32Error);
// True when the program runs under wine (which opens a COM port more than once).
bool RunningUnderWine();

}  // namespace serial_system

}  // namespace orvo
