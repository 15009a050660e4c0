// Phone folders named by paths as the form shows them: the names of the folders
// from the root down, joined by "/" ("Sounds/My Sounds", "Images/OnOff/Menu
// Images"); "/" or "" is the root. Texts are UTF-8; the tree's names are CP1251.
#pragma once

#include <string>

#include "phonefs/PhoneTree.h"

namespace orvo {

// The folder below root that path names, or null. A folder's own name may hold
// "/": the path is matched against the folder names, not split blindly.
PhoneNode* FindFolderByPath(PhoneNode* root, const std::string& path);

// The path of folder ("/" for the root).
std::string FolderPathOf(const PhoneNode* folder);

// Splits "FOLDER/NAME" at its last "/" ("x.mid" alone is a file in the root).
// False when FOLDER names no folder or NAME is empty.
bool SplitFilePath(PhoneNode* root, const std::string& path, PhoneNode*& folder, std::string& name);

}  // namespace orvo
