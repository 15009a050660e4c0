// The language the programs speak: Russian (the texts' own) or English.
#pragma once

#include <functional>
#include <string>

namespace orvo {

// orvo-cli's language from the locale, as command-line programs read it: the
// first of LC_ALL, LC_MESSAGES and LANG that is set; "ru" when it names Russian
// ("ru", "ru_RU.UTF-8"), "en" otherwise (also when none is set, or "C").
std::string LanguageOfLocale(const std::function<const char*(const char*)>& getenv);

// Makes the shared texts (the core's messages, progress lines, sizes) speak
// language: "en" installs their English translation into the application,
// anything else takes it out again (Russian is the texts' own). False when this
// build has no English.
bool InstallLanguage(const std::string& language);

}  // namespace orvo
