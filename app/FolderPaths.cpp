#include "app/FolderPaths.h"

#include "phonefs/CodePage.h"

namespace orvo {

namespace {

std::string Trimmed(const std::string& path) {
    std::size_t begin = path.find_first_not_of('/');
    if (begin == std::string::npos)
        return std::string();
    std::size_t end = path.find_last_not_of('/');
    return path.substr(begin, end - begin + 1);
}

PhoneNode* Match(PhoneNode* folder, const Bytes& rest) {
    if (rest.empty())
        return folder;
    for (PhoneNode* c = folder->FirstChild.get(); c; c = c->NextSibling.get()) {
        const Bytes& n = c->Name;
        if (rest.compare(0, n.size(), n) != 0)
            continue;
        if (rest.size() == n.size())
            return c;
        if (rest[n.size()] == '/') {
            if (PhoneNode* found = Match(c, rest.substr(n.size() + 1)))
                return found;
        }
    }
    return nullptr;
}

}  // namespace

PhoneNode* FindFolderByPath(PhoneNode* root, const std::string& path) {
    Bytes ansi;
    if (!root || !Utf8ToAnsi(Trimmed(path), ansi))
        return nullptr;
    return Match(root, ansi);
}

std::string FolderPathOf(const PhoneNode* folder) {
    std::string path;
    for (const PhoneNode* f = folder; f && f->Parent; f = f->Parent)
        path = AnsiToUtf8Display(f->Name) + (path.empty() ? "" : "/") + path;
    return path.empty() ? "/" : path;
}

bool SplitFilePath(PhoneNode* root, const std::string& path, PhoneNode*& folder,
                   std::string& name) {
    // A phone file's name holds no "/": the folder is everything before the last.
    const std::size_t cut = path.rfind('/');
    folder = cut == std::string::npos ? root : FindFolderByPath(root, path.substr(0, cut));
    name = cut == std::string::npos ? path : path.substr(cut + 1);
    return folder && !name.empty();
}

}  // namespace orvo
