#include "phonefs/PhoneTree.h"

#include <string>
#include <utility>
#include <vector>

#include "phonefs/CodePage.h"

namespace orvo {

PhoneFileEntry::~PhoneFileEntry() {
    // Unlink one entry at a time so that a long list is released in a loop, not
    // through one nested destructor call per entry.
    std::unique_ptr<PhoneFileEntry> next = std::move(Next);
    while (next) next = std::move(next->Next);
}

PhoneNode::~PhoneNode() {
    // Same for the folders: detach every sub-folder and sibling before it dies.
    std::vector<std::unique_ptr<PhoneNode>> pending;
    if (FirstChild)
        pending.push_back(std::move(FirstChild));
    if (NextSibling)
        pending.push_back(std::move(NextSibling));
    while (!pending.empty()) {
        std::unique_ptr<PhoneNode> node = std::move(pending.back());
        pending.pop_back();
        if (node->FirstChild)
            pending.push_back(std::move(node->FirstChild));
        if (node->NextSibling)
            pending.push_back(std::move(node->NextSibling));
    }
}

PhoneNode* FindChildFolder(const Bytes& name, PhoneNode* folder) {
    if (!folder)
        return nullptr;
    for (PhoneNode* child = folder->FirstChild.get(); child; child = child->NextSibling.get())
        if (child->Name == name)
            return child;
    return folder;
}

PhoneNode* AddChildFolder(const Bytes& name, PhoneNode* parent, uint8_t code) {
    if (!parent)
        return nullptr;
    std::unique_ptr<PhoneNode>* link = &parent->FirstChild;
    while (*link) {
        if ((*link)->Name == name)
            return link->get();
        link = &(*link)->NextSibling;
    }
    auto node = std::make_unique<PhoneNode>();
    node->Name = name.substr(0, kFolderNameMax);
    node->Parent = parent;
    node->Code = code;
    *link = std::move(node);
    return link->get();
}

void AddFile(PhoneNode* folder, const Bytes& name, int32_t size) {
    if (!folder)
        return;
    std::unique_ptr<PhoneFileEntry>* link = &folder->Files;
    while (*link) {
        // A name already listed keeps its entry and its first size.
        if ((*link)->Name == name)
            return;
        link = &(*link)->Next;
    }
    auto entry = std::make_unique<PhoneFileEntry>();
    entry->Name = name.substr(0, kFileNameMax);
    entry->Size = size;
    *link = std::move(entry);
}

PhoneFileEntry* FindFile(PhoneNode* folder, const Bytes& name) {
    if (!folder)
        return nullptr;
    for (PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get())
        if (e->Name == name)
            return e;
    return nullptr;
}

bool HasFile(const PhoneNode* folder, const Bytes& name) {
    return FindFile(const_cast<PhoneNode*>(folder), name) != nullptr;
}

void RemoveFile(const Bytes& name, PhoneNode* folder) {
    if (!folder)
        return;
    for (std::unique_ptr<PhoneFileEntry>* link = &folder->Files; *link; link = &(*link)->Next) {
        if ((*link)->Name == name) {
            std::unique_ptr<PhoneFileEntry> gone = std::move(*link);
            *link = std::move(gone->Next);
            return;
        }
    }
}

bool IsUsablePhoneName(const Bytes& name) {
    return !name.empty() && name.find_first_of(Bytes("\"\r\n\0", 4)) == Bytes::npos;
}

int CountFolders(const PhoneNode* root) {
    if (!root)
        return 0;
    int count = 0;
    std::vector<const PhoneNode*> pending{root};
    while (!pending.empty()) {
        const PhoneNode* node = pending.back();
        pending.pop_back();
        ++count;
        for (const PhoneNode* c = node->FirstChild.get(); c; c = c->NextSibling.get())
            pending.push_back(c);
    }
    return count;
}

}  // namespace orvo
