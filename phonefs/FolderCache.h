// The standard folders of the phone and the caching pass that lists them all.
#pragma once

#include "protocol/Session.h"

struct PhoneNode;

// Makes a new root with the standard folders and returns it.
std::unique_ptr<PhoneNode> SeedStandardFolders();
void CollectFolders(Session& s, PhoneNode* node);
void StartFolderCaching(Session& s);
void RequestNextListing(Session& s);
// The rename's temporary local file is never a fixed name. MakeTempFilePath returns
// a mkstemp() template in the user's temporary folder (the absolute $TMPDIR, else
// /tmp): "<tmpdir>/orvofm-XXXXXX". The rename passes a writable copy to mkstemp(),
// which creates a new owner-only file under a unique name, once per rename, and
// keeps that file's path in s.TempFilePath (the caching pass leaves it alone).
std::string MakeTempFilePath();
