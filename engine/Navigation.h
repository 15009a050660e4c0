// Moving between the phone's folders in the phone pane, and reading one again.
#pragma once

#include "engine/Session.h"

struct PhoneNode;

// Fills the phone pane with folder's sub-folders and files; sets Idle when the
// folder holds at least one file.
void ShowFolder(Session& s, PhoneNode* folder);
// The Rescan button: a caching pass at the root, nothing for a container, else a
// new listing of the current folder.
void RereadCurrentFolder(Session& s);
// Double-click in the phone pane / its "Назад" button.
void ListPhoneDblClick(Session& s);
void ParentPhoneBtnClick(Session& s);
