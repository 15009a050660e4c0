// The few POSIX calls the core tests use for their scratch folders and
// environment, given to the Windows build of those tests (included first by the
// compiler; the programs themselves never see it).
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <stdlib.h>

#include <cstring>
#include <random>

inline char* mkdtemp(char* pattern) {
    const std::size_t n = std::strlen(pattern);
    if (n < 6)
        return nullptr;
    static std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = n - 6; i < n; ++i)
            pattern[i] = "abcdefghijklmnopqrstuvwxyz"[random() % 26];
        if (::_mkdir(pattern) == 0)
            return pattern;
    }
    return nullptr;
}

inline int setenv(const char* name, const char* value, int /*overwrite*/) {
    return ::_putenv_s(name, value);
}

inline int unsetenv(const char* name) {
    return ::_putenv_s(name, "");
}
#endif
