// Moving between the phone's folders in the phone pane, and reading one again.
#pragma once

#include "engine/Session.h"

namespace orvo {

struct PhoneNode;

// Fills the phone pane with folder's sub-folders and files; sets Idle when the
// folder holds at least one file.
void ShowFolder(Session& s, PhoneNode* folder);
// The Rescan button: a caching pass at the root, nothing for a container, else a
// new listing of the current folder.
void RereadCurrentFolder(Session& s);
// Opens the folder of the row under the cursor in the phone pane / the folder
// above the one shown.
void OpenSelectedFolder(Session& s);
void OpenParentFolder(Session& s);

}  // namespace orvo
