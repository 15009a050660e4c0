#include "phonefs/BackupNames.h"

#include <cstdio>
#include <functional>

#include "phonefs/CodePage.h"
#include "phonefs/PhoneTree.h"

namespace orvo {

std::string PhoneFolderPath(const PhoneNode* folder) {
    std::string path;
    for (const PhoneNode* f = folder; f && f->Parent; f = f->Parent)
        path = AnsiToUtf8Display(f->Name) + (path.empty() ? "" : "/") + path;
    return path.empty() ? "/" : path;
}

PhoneNode* PhoneFolderAt(PhoneNode* root, const std::string& path) {
    std::function<PhoneNode*(PhoneNode*)> find = [&](PhoneNode* node) -> PhoneNode* {
        for (; node; node = node->NextSibling.get()) {
            if (PhoneFolderPath(node) == path)
                return node;
            if (PhoneNode* below = find(node->FirstChild.get()))
                return below;
        }
        return nullptr;
    };
    return root ? find(root) : nullptr;
}

std::string BackupFolderOf(const PhoneNode* folder) {
    std::string path;
    for (const PhoneNode* f = folder; f && f->Parent; f = f->Parent) {
        std::string name = AnsiToUtf8Display(f->Name);
        for (char& c : name)
            if (c == '/')
                c = '_';
        path = name + (path.empty() ? "" : "/") + path;
    }
    return path;
}

namespace {

std::string Escaped(unsigned char c) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", c);
    return hex;
}

}  // namespace

std::string BackupFileName(const std::string& phoneName, bool atTop) {
    if (phoneName == "." || phoneName == "..")
        return phoneName == "." ? "%2E" : "%2E%2E";
    std::string out;
    for (char c : phoneName) {
        const unsigned char u = static_cast<unsigned char>(c);
        out += (c == '%' || c == '/' || u < 0x20 || u == 0x7F) ? Escaped(u) : std::string(1, c);
    }
    if (atTop && !out.empty() &&
        (out == "manifest.json" || out == "java" || out == "Sounds" || out == "Images"))
        out = Escaped(static_cast<unsigned char>(out[0])) + out.substr(1);
    return out;
}

std::string JarNameOf(const std::string& descriptor) {
    static const std::string key = "MIDlet-Jar-URL:";
    std::size_t at = 0;
    while (at < descriptor.size()) {
        std::size_t end = descriptor.find('\n', at);
        if (end == std::string::npos)
            end = descriptor.size();
        std::string line = descriptor.substr(at, end - at);
        at = end + 1;
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        while (!value.empty() && space(value.back())) value.pop_back();
        std::size_t first = 0;
        while (first < value.size() && space(value[first])) ++first;
        value = value.substr(first);
        const std::size_t slash = value.rfind('/');
        return slash == std::string::npos ? value : value.substr(slash + 1);
    }
    return std::string();
}

}  // namespace orvo
