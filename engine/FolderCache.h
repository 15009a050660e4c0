// The standard folders of the phone and the caching pass that lists them all.
#pragma once

#include <functional>
#include <string>

#include "engine/Session.h"
#include "phonefs/StandardFolders.h"

namespace orvo {

struct PhoneNode;

void CollectFolders(Session& s, PhoneNode* node);
void StartFolderCaching(Session& s);
void RequestNextListing(Session& s);
// The rename keeps the file's bytes on the computer while the phone's copy is
// erased and written back, in a folder that outlives the session and is not
// cleaned like a temporary folder: RescueFolderPath() is
// "$XDG_DATA_HOME/orvo-fm/rescued" ($XDG_DATA_HOME when absolute, else
// "$HOME/.local/share"). MakeTempFilePath returns a mkstemp() template there,
// "<rescue folder>/.rename-XXXXXX": each rename makes a new owner-only file under
// a unique name and keeps its path in s.TempFilePath (the caching pass leaves it
// alone). When a rename breaks off after the erase, that file is renamed to the
// phone file's own name in the same folder. The front ends name the folder from
// the system's per-user data folder (SetRescueFolderSource, asked each time);
// without that, the environment above decides.
std::string RescueFolderPath();
void SetRescueFolderSource(std::function<std::string()> source);
std::string MakeTempFilePath();

}  // namespace orvo
