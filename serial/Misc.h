// The serial component's diagnostic log and system error texts.
//
// The log is one process-wide text file: the component names it, opens (truncates)
// it when the port is opened and closes it when the port is closed. The main thread
// and the component's reader and writer threads all write to it; every line reaches
// the file whole. The log holds event texts only, never the bytes carried.
#pragma once

#include <string>

namespace orvo {

// The process-wide log name consulted by CommLog. Empty means "no log".
void SetCommLogName(const std::string& name);
std::string CommLogName();

// Creates (or truncates) the file named by the process-wide log name and keeps it
// open for CommLog. Does nothing when the name is empty. Throws
// std::ios_base::failure when the file cannot be created.
void OpenCommLog();
// Closes the file kept open by OpenCommLog (if any).
void CloseCommLog();

// Appends the text and a line break to the log when the log name is not empty.
// Never throws: a line that cannot be written is lost.
void CommLog(const std::string& text);

// Logs prefix + "GetLastError returned: \"" + the system text for `code` + "\"",
// or prefix + "Out of memory" when no text is available. The line is cut to 1024
// characters. A null prefix counts as empty.
void LogSystemError(int code, const char* prefix = nullptr);
// The line LogSystemError writes, for an errno value or for the system's own text
// of an error (empty text: "Out of memory").
std::string SystemErrorLine(int code, const char* prefix = nullptr);
std::string SystemErrorLineWithText(const std::string& text, const char* prefix = nullptr);

// The system's English message text for an errno value. For a code the system has
// no text for: "FormatMessage failed on error <code> for the following reason: <22>"
// (EINVAL). Empty when not even that can be built.
std::string FormatLastError(int code);

// Debugger-style output: texts that are not meant for the log file ("Time to Exit").
// Goes to the "orvo.serial" debug logging category, which is off by default.
void DebugOutput(const std::string& text);

}  // namespace orvo
