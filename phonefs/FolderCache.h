// The standard folders of the phone and the caching pass that lists them all.
#pragma once

#include "protocol/Session.h"

struct PhoneNode;

// Makes a new root with the standard folders and returns it.
std::unique_ptr<PhoneNode> SeedStandardFolders();
void CollectFolders(Session& s, PhoneNode* node);
void StartFolderCaching(Session& s);
void RequestNextListing(Session& s);
// The rename's temporary local file is never a fixed name. StartFolderCaching sets
// s.TempFilePath to the folder for it (the absolute $TMPDIR, else /tmp).
// MakeTempFilePath returns a mkstemp() template in that folder,
// "<tmpdir>/orvofm-XXXXXX": the caller passes a writable copy to mkstemp(), which
// creates a new file, owner-only, under a unique name, once per rename.
std::string MakeTempFilePath();
