// The standard folders of the phone and the caching pass that lists them all.
#pragma once

#include "protocol/Session.h"

struct PhoneNode;

// Makes a new root with the standard folders and returns it.
std::unique_ptr<PhoneNode> SeedStandardFolders();
void CollectFolders(Session& s, PhoneNode* node);
void StartFolderCaching(Session& s);
void RequestNextListing(Session& s);
// Chooses a fresh private path for the rename's temporary file.
std::string MakeTempFilePath();
