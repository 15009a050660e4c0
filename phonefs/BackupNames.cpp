#include "phonefs/BackupNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

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

// Bytes no computer file name may hold as they are.
bool Refused(unsigned char u) {
    return u == '%' || u == '/' || u < 0x20 || u == 0x7F ||
           (u != 0 && std::strchr("<>:\"\\|?*", u) != nullptr);
}

// The next UTF-8 character of text at at: its code point (a stray byte stands
// for itself) and its length.
char32_t NextChar(const std::string& text, std::size_t at, std::size_t& length) {
    const unsigned char u = static_cast<unsigned char>(text[at]);
    length = 1;
    if (u < 0xC0 || u >= 0xF8)
        return u;
    const std::size_t more = u < 0xE0 ? 1 : u < 0xF0 ? 2 : 3;
    char32_t c = u & (0x3F >> more);
    for (std::size_t i = 1; i <= more; ++i) {
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return u;
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    length = more + 1;
    return c;
}

// Case as the computer's file systems fold it, for the letters a phone name can
// hold (Latin and the Cyrillic of Windows-1251).
bool IsUpper(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 0x400 && c <= 0x42F) || c == 0x490;
}
bool IsLower(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 0x430 && c <= 0x45F) || c == 0x491;
}

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The name as a file system that ignores case sees it.
std::string Folded(const std::string& name) {
    std::string out;
    for (std::size_t at = 0, length = 0; at < name.size(); at += length) {
        char32_t c = NextChar(name, at, length);
        if (length == 1 && c >= 0x80) {
            out += name[at];
            continue;
        }
        if (c >= 'A' && c <= 'Z')
            c += 0x20;
        else if (c >= 0x410 && c <= 0x42F)
            c += 0x20;
        else if (c >= 0x400 && c <= 0x40F)
            c += 0x50;
        else if (c == 0x490)
            c = 0x491;
        Append(out, c);
    }
    return out;
}

// The device names of Windows, with any extension ("CON", "com1.txt", "NUL .x").
bool Reserved(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

enum class Letters { AsThey, LowerEscaped, AllEscaped };

std::string Escape(const std::string& phoneName, bool atTop, Letters letters) {
    if (phoneName == "." || phoneName == "..")
        return phoneName == "." ? "%2E" : "%2E%2E";
    std::string out;
    for (std::size_t at = 0, length = 0; at < phoneName.size(); at += length) {
        const char32_t c = NextChar(phoneName, at, length);
        const bool letter = (letters == Letters::LowerEscaped && IsLower(c)) ||
                            (letters == Letters::AllEscaped && (IsLower(c) || IsUpper(c)));
        for (std::size_t i = at; i < at + length; ++i) {
            const unsigned char u = static_cast<unsigned char>(phoneName[i]);
            out += letter || Refused(u) ? Escaped(u) : std::string(1, phoneName[i]);
        }
    }
    if (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out = out.substr(0, out.size() - 1) + Escaped(static_cast<unsigned char>(out.back()));
    const std::string folded = Folded(out);
    const bool taken = atTop && (folded == "manifest.json" || folded == "java" ||
                                 folded == "sounds" || folded == "images");
    if (!out.empty() && out[0] != '%' && (taken || Reserved(out)))
        out = Escaped(static_cast<unsigned char>(out[0])) + out.substr(1);
    return out;
}

}  // namespace

std::string BackupFileName(const std::string& phoneName, bool atTop) {
    return Escape(phoneName, atTop, Letters::AsThey);
}

std::vector<std::string> BackupFileNames(const std::vector<std::string>& phoneNames, bool atTop) {
    std::vector<std::size_t> order(phoneNames.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return phoneNames[a] < phoneNames[b]; });
    std::vector<std::string> out(phoneNames.size());
    std::set<std::string> taken;
    for (std::size_t i : order) {
        for (Letters letters : {Letters::AsThey, Letters::LowerEscaped, Letters::AllEscaped}) {
            out[i] = Escape(phoneNames[i], atTop, letters);
            if (taken.insert(Folded(out[i])).second)
                break;
        }
    }
    return out;
}

LocalNameFault LocalNameProblem(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return {LocalNameFault::NoSuchName, std::string()};
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return {LocalNameFault::ControlCharacter, std::string()};
        if (c != '%' && Refused(u))
            return {LocalNameFault::RefusedCharacter, std::string(1, c)};
    }
    if (name.back() == '.' || name.back() == ' ')
        return {LocalNameFault::EndsWithDotOrSpace, std::string()};
    if (Reserved(name))
        return {LocalNameFault::Device, name.substr(0, name.find('.'))};
    return {};
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
