// The phone's folders as folders of the computer: --root loads the phone's files from
// them, --save writes them back in the same layout.
#pragma once

#include <string>

#include "tools/emulator/PhoneEmulator.h"

// Loads the regular files of DIR's sub-folders named like the phone's folders.
bool LoadRoot(PhoneEmulator& phone, const std::string& dir);

// Writes the phone's files into DIR's sub-folders named like the phone's folders and
// removes the regular files there that the phone does not hold.
bool SaveFiles(const PhoneEmulator& phone, const std::string& dir);
