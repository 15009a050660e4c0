// The phone's content out of the box: something in most standard folders, and the
// awkward cases a host must survive (a Cyrillic name, a melody, a Java suite, an
// exact 512-byte file, a long folder, data that looks like protocol text).
#include <cstdio>

#include "tools/emulator/PhoneEmulator.h"

namespace {

// Repeatable filler bytes of every value.
std::string Filler(std::size_t size, uint32_t seed) {
    std::string data(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : data) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

// Binary data holding, at the start, across the first block boundary and near the
// end, the texts a careless reader mistakes for its own framing.
std::string TrickyData() {
    std::string data = Filler(1300, 7);
    const std::string pieces = "\nOK\r\n+FSFR: 1,2,#OK#\r\n##>\r\n+CME ERROR: 11\r\n";
    data.replace(0, pieces.size(), pieces);
    data.replace(500, pieces.size(), pieces);  // straddles byte 512
    data.replace(data.size() - pieces.size(), pieces.size(), pieces);
    return data;
}

std::string Melody() {
    // 32-byte header: signature, big-endian body length, zeros.
    std::string body = Filler(700, 11);
    std::string header = "MMMD";
    uint32_t n = static_cast<uint32_t>(body.size());
    header += static_cast<char>(n >> 24);
    header += static_cast<char>(n >> 16);
    header += static_cast<char>(n >> 8);
    header += static_cast<char>(n);
    header.resize(32, '\0');
    return header + body;
}

}  // namespace

void PhoneEmulator::LoadSampleContent() {
    // The root (also what the containers Sounds, Images and My Photos list).
    PutFile(' ', "readme.txt", "Phone file system.\r\nCopy files here and there.\r\n");
    PutFile(' ', "tricky.bin", TrickyData());
    PutFile(' ', "empty.txt", "");

    // java
    const std::string jar = "PK\x03\x04" + Filler(3000, 21);
    PutFile('`', "game_suite.jad",
            "MIDlet-1: Game, /icon.png, game.Main\nMIDlet-Jar-Size: " + std::to_string(jar.size()) +
                "\nMIDlet-Jar-URL: game_suite.jar\nMIDlet-Name: Game\n"
                "MIDlet-Vendor: Nobody\nMIDlet-Version: 1.0\n");
    PutFile('`', "game_suite.jar", jar);
    PutFile('`', "suites.utf", std::string("\x00\x05game_", 7));
    PutFile('`', "suitesName.utf", "Brindlewort");

    // Sounds
    PutFile('T', "ring.mid", "MThd" + Filler(1500, 31));
    PutFile('T', "Звонок.mid", "MThd" + Filler(900, 32));
    PutFile('C', "melody01.mel", Melody());
    PutFile('Q', "memo01.amr", "#!AMR\n" + Filler(2000, 41));

    // Images
    PutFile('R', "Привет.txt", "Привет, мир!\r\n");
    PutFile('R', "block512.bin", Filler(512, 51));
    for (int i = 1; i <= 30; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "picture%02d.jpg", i);
        PutFile('R', name, "\xFF\xD8\xFF\xE0" + Filler(200 + 37 * i, 100 + i));
    }
    PutFile('E', "loading.gif", "GIF89a" + Filler(800, 61));
    PutFile('D', "poweron.gif", "GIF89a" + Filler(1100, 71));
    PutFile('V', "photo0001.jpg", "\xFF\xD8\xFF\xE1" + Filler(5000, 81));
    PutFile('V', "photo0002.jpg", "\xFF\xD8\xFF\xE1" + Filler(2048, 82));
    PutFile('Y', "holiday.jpg", "\xFF\xD8\xFF\xE0" + Filler(1024, 91));
    // My Album 2 stays empty.
}
