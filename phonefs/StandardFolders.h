// The phone's standard folders: names, codes and nesting.
#pragma once

#include <memory>

namespace orvo {

struct PhoneNode;

// Makes a new root with the standard folders and returns it: "java", "Sounds"
// ("My Sounds", "Default Sounds", "Voice") and "Images" ("My Images",
// "Animations", "OnOff/Menu Images", "My Photos" with "Camera", "My Album 1" and
// "My Album 2"), each with the one-byte code the phone knows it by; the root and
// the folders that only hold folders have the code ' '.
std::unique_ptr<PhoneNode> SeedStandardFolders();

}  // namespace orvo
