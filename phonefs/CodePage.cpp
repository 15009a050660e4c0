#include "phonefs/CodePage.h"

#include <cstddef>
#include <cstdint>

namespace orvo {

namespace {

// The upper half of code page 1251 in Unicode; 0 where the page has no character
// (0x98).
constexpr char16_t kUpperHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // 0xC0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // 0xC8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // 0xD0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // 0xD8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // 0xE0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // 0xE8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // 0xF0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // 0xF8
};

void AppendUtf8(char32_t c, std::string& out) {
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

// The next character of well-formed UTF-8 at in[i] (no overlong forms, no
// surrogates, nothing past U+10FFFF); false for anything else.
bool NextUtf8(const std::string& in, std::size_t& i, char32_t& c) {
    const auto byte = [&in](std::size_t k) { return static_cast<uint8_t>(in[k]); };
    const uint8_t b0 = byte(i);
    std::size_t extra;
    char32_t min;
    if (b0 < 0x80) {
        c = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (in.size() - i <= extra) {
        return false;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            return false;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return false;
    }
    i += extra + 1;
    return true;
}

}  // namespace

// Both conversions take the whole text or nothing: false on any character that
// has no counterpart in the target encoding or is malformed in the source.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c;
        if (!NextUtf8(utf8, i, c)) {
            return false;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 128 && found < 0; ++k) {
            if (kUpperHalf[k] != 0 && kUpperHalf[k] == c) {
                found = k;
            }
        }
        if (found < 0) {
            return false;
        }
        out += static_cast<char>(0x80 + found);
    }
    ansi = std::move(out);
    return true;
}

bool AnsiToUtf8(const std::string& ansi, std::string& utf8) {
    std::string out;
    out.reserve(ansi.size() * 2);
    for (char ch : ansi) {
        const uint8_t b = static_cast<uint8_t>(ch);
        if (b < 0x80) {
            out += ch;
            continue;
        }
        const char16_t c = kUpperHalf[b - 0x80];
        if (c == 0) {
            return false;
        }
        AppendUtf8(c, out);
    }
    utf8 = std::move(out);
    return true;
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
