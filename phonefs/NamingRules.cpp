#include "phonefs/NamingRules.h"

#include <cstring>

#include "phonefs/PhoneTree.h"

namespace orvo {

namespace {

constexpr std::size_t kMySoundsNameMax = 28;
constexpr int kMelodySlots = 16;

bool EndsWith(const std::string& text, const char* suffix) {
    std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// "game.jar" in the java folder goes to the phone as "game_suite.jar".
void ApplyJavaRule(std::string& utf8) {
    if ((EndsWith(utf8, ".jar") || EndsWith(utf8, ".jad")) &&
        utf8.find("_suite") == std::string::npos)
        utf8.insert(utf8.size() - 4, "_suite");
}

// Keeps the first 24 and the last 4 bytes of a long name, without splitting a
// UTF-8 character at either cut (the result may then be a little shorter).
void ApplyShortNameRule(std::string& utf8) {
    if (utf8.size() <= kMySoundsNameMax)
        return;
    std::size_t headEnd = kMySoundsNameMax - 4;
    while (headEnd > 0 && IsContinuationByte(utf8[headEnd])) --headEnd;
    std::size_t tailStart = utf8.size() - 4;
    while (tailStart < utf8.size() && IsContinuationByte(utf8[tailStart])) ++tailStart;
    utf8 = utf8.substr(0, headEnd) + utf8.substr(tailStart);
}

}  // namespace

std::string NameOnPhone(const PhoneNode& folder, std::string utf8) {
    if (folder.Name == "java" || folder.Name == "Java")
        ApplyJavaRule(utf8);
    if (folder.Name == "My Sounds")
        ApplyShortNameRule(utf8);
    return utf8;
}

std::string FreeMelodySlot(const PhoneNode& folder) {
    for (int i = 1; i <= kMelodySlots; ++i) {
        std::string candidate = (i < 10 ? "melody0" : "melody") + std::to_string(i) + ".mel";
        if (!HasFile(&folder, candidate))
            return candidate;
    }
    return std::string();
}

MelodyKind ClassifyMelody(const unsigned char* head, std::size_t count) {
    if (count >= 4 && std::memcmp(head, "MMMD", 4) == 0)
        return MelodyKind::Bare;
    if (count >= kMelodySignatureBytes && std::memcmp(head + 32, "MMMD", 4) == 0)
        return MelodyKind::WithHeader;
    return MelodyKind::NotAMelody;
}

Bytes MelodyHeader(const std::string& slot) {
    Bytes header = slot.substr(0, 12);
    header.resize(12, '\0');
    header += '\0';
    header.resize(kMelodyHeaderSize, '\xFF');
    return header;
}

}  // namespace orvo
