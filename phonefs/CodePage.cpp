#include "phonefs/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <vector>

namespace orvo {

namespace {

// Converts the whole of in with iconv; false on any byte sequence that has no
// counterpart in the target encoding or is malformed in the source.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
    out.clear();
    if (in.empty())
        return true;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;

    // CP1251 -> UTF-8 needs at most 3 bytes per input byte; UTF-8 -> CP1251 at most 1.
    std::vector<char> buffer(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = buffer.data();
    std::size_t dstLeft = buffer.size();
    bool ok =
        iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1) && srcLeft == 0;
    // Flush any shift state (none for these encodings, but keep iconv's contract).
    if (ok)
        ok = iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok)
        return false;
    out.assign(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
    return true;
}

}  // namespace

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
    return Convert("CP1251", "UTF-8", utf8, ansi);
}

bool AnsiToUtf8(const std::string& ansi, std::string& utf8) {
    return Convert("UTF-8", "CP1251", ansi, utf8);
}

std::string AnsiToUtf8Display(const std::string& ansi) {
    std::string utf8;
    if (AnsiToUtf8(ansi, utf8))
        return utf8;
    // Slow path: one byte at a time, so a byte without a character (0x98) becomes '?'.
    std::string result;
    std::string piece;
    for (char c : ansi) {
        if (AnsiToUtf8(std::string(1, c), piece))
            result += piece;
        else
            result += '?';
    }
    return result;
}

}  // namespace orvo
