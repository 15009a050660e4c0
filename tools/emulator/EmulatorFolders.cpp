#include "tools/emulator/EmulatorFolders.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

// Where each folder code's files live under a --root or --save folder.
const std::pair<const char*, uint8_t> kFolders[] = {
    {"", ' '},
    {"java", '`'},
    {"Sounds/My Sounds", 'T'},
    {"Sounds/Default Sounds", 'C'},
    {"Sounds/Voice", 'Q'},
    {"Images/My Images", 'R'},
    {"Images/Animations", 'E'},
    {"Images/OnOff-Menu Images", 'D'},
    {"Images/My Photos/Camera", 'V'},
    {"Images/My Photos/My Album 1", 'Y'},
    {"Images/My Photos/My Album 2", '\\'},
};

}  // namespace

// Loads the regular files of DIR's sub-folders named like the phone's folders.
bool LoadRoot(PhoneEmulator& phone, const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        std::fprintf(stderr, "phone-emulator: %s is not a folder\n", dir.c_str());
        return false;
    }
    for (const auto& [sub, code] : kFolders) {
        fs::path folder = fs::path(dir) / sub;
        if (!fs::is_directory(folder, ec)) {
            continue;
        }
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_regular_file(ec)) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::string data((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof()) {
                std::fprintf(stderr, "phone-emulator: cannot read %s\n", f.c_str());
                continue;
            }
            phone.PutFile(code, f.filename().string(), data);
        }
    }
    return true;
}

namespace {

// A phone name that can be a file's name in a folder of the computer.
bool SavableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

// Writes the phone's files into DIR's sub-folders named like the phone's folders and
// removes the regular files there that the phone does not hold. Each file is written
// under a temporary name and then renamed, so a reader never sees half a file.
bool SaveFiles(const PhoneEmulator& phone, const std::string& dir) {
    namespace fs = std::filesystem;
    bool ok = true;
    for (const auto& [sub, code] : kFolders) {
        const fs::path folder = fs::path(dir) / sub;
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder, ec)) {
            std::fprintf(stderr, "phone-emulator: cannot make %s\n", folder.c_str());
            ok = false;
            continue;
        }
        std::vector<std::string> names = phone.FileNames(code);
        for (const std::string& name : names) {
            if (!SavableName(name)) {
                std::fprintf(stderr, "phone-emulator: not saved: \"%s\"\n", name.c_str());
                continue;
            }
            const fs::path target = folder / name;
            if (fs::is_directory(target, ec)) {
                std::fprintf(stderr, "phone-emulator: not saved over a folder: %s\n",
                             target.c_str());
                continue;
            }
            const fs::path temp = folder / (".phone-emulator-save." + std::to_string(getpid()));
            const std::string data = phone.FileData(code, name);
            {
                std::ofstream out(temp, std::ios::binary | std::ios::trunc);
                out.write(data.data(), static_cast<std::streamsize>(data.size()));
                out.close();
                if (!out) {
                    std::fprintf(stderr, "phone-emulator: cannot write %s\n", temp.c_str());
                    fs::remove(temp, ec);
                    ok = false;
                    continue;
                }
            }
            fs::rename(temp, target, ec);
            if (ec) {
                std::fprintf(stderr, "phone-emulator: cannot write %s: %s\n", target.c_str(),
                             ec.message().c_str());
                fs::remove(temp, ec);
                ok = false;
            }
        }
        // What the phone no longer holds goes.
        std::vector<fs::path> stale;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_regular_file(ec) &&
                std::find(names.begin(), names.end(), entry.path().filename().string()) ==
                    names.end()) {
                stale.push_back(entry.path());
            }
        }
        for (const fs::path& f : stale) {
            fs::remove(f, ec);
        }
    }
    return ok;
}
