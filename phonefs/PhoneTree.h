// The in-memory tree of the phone's folders and their file lists.
// Names are CP1251 bytes; all comparisons are exact and byte-wise.
#pragma once

#include <cstdint>
#include <memory>

#include "protocol/Port.h"

namespace orvo {

constexpr std::size_t kFolderNameMax = 24;
constexpr std::size_t kFileNameMax = 64;

struct PhoneFileEntry {
    Bytes Name;  // at most 64 bytes
    std::unique_ptr<PhoneFileEntry> Next;
    int32_t Size = 0;
    ~PhoneFileEntry();  // releases the rest of the list without deep recursion
};

struct PhoneNode {
    Bytes Name;  // at most 24 bytes
    std::unique_ptr<PhoneFileEntry> Files;
    std::unique_ptr<PhoneNode> FirstChild;
    std::unique_ptr<PhoneNode> NextSibling;
    PhoneNode* Parent = nullptr;
    uint8_t Code = ' ';
    ~PhoneNode();
};

// First direct sub-folder of folder named name; folder itself when there is none
// (never null unless folder is null).
PhoneNode* FindChildFolder(const Bytes& name, PhoneNode* folder);
PhoneNode* AddChildFolder(const Bytes& name, PhoneNode* parent, uint8_t code);
void AddFile(PhoneNode* folder, const Bytes& name, int32_t size);
bool HasFile(const PhoneNode* folder, const Bytes& name);
void RemoveFile(const Bytes& name, PhoneNode* folder);
PhoneFileEntry* FindFile(PhoneNode* folder, const Bytes& name);
int CountFolders(const PhoneNode* root);
// A name the phone's commands can carry: not empty, and no '"', CR, LF or NUL,
// which would end the quoted name or the command line early.
bool IsUsablePhoneName(const Bytes& name);

}  // namespace orvo
