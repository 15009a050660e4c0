// Small helpers shared by the protocol core tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "engine/ReceiveHandler.h"
#include "engine/Session.h"

namespace orvo {

namespace prototest {

// A private folder for the files of one test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "proto-test-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        if (!made)
            throw std::runtime_error("mkdtemp failed");
        path_ = made;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline std::string RandomBytes(std::size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (auto& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

// Hands a chunk to the receive handler as the serial component would.
inline void Deliver(Session& s, const std::string& chunk) {
    ReceiveChunk(s, reinterpret_cast<const uint8_t*>(chunk.data()),
                 static_cast<uint16_t>(chunk.size()));
}

// A batch continuation that only counts its calls.
inline int g_batchCalls = 0;
inline void CountingBatchStep(Session&) {
    ++g_batchCalls;
}

}  // namespace prototest

}  // namespace orvo
