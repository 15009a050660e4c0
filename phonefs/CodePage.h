// Conversion between the phone's UTF-8 names and the CP1251 names of the model.
#pragma once

#include <string>

namespace orvo {

// False when the text cannot be expressed in the target encoding (out is then
// unspecified): a name is refused, never mangled.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);
bool AnsiToUtf8(const std::string& ansi, std::string& utf8);
// Lenient forms for display texts: unconvertible bytes become '?'.
std::string AnsiToUtf8Display(const std::string& ansi);

}  // namespace orvo
