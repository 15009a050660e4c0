// The phone's side of the AT file-system protocol, in memory: folders addressed by
// one-byte codes, UTF-8 file names, listings, reads with the "#OK#" handshake,
// writes with a prompt before each block and the checksum check, erases and
// change-folder; with fault injection for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct EmulatorFaults {
    bool silent = false;          // answer nothing at all
    bool echo = false;            // echo each command line before the reply
    std::string errorCommand;     // a command prefix, e.g. "AT+FSFW"; empty: none
    int errorCode = 0;            // answered with "+CME ERROR: <code>" to that command
    int errorCountdown = 0;       // let this many matching commands succeed first
    std::size_t splitEvery = 0;   // cut the output into chunks of this many bytes (0: whole)
    bool corruptReadCrc = false;  // announce a wrong checksum in read headers
    bool silentAfterCommands = false;  // go silent once silentAfter commands were answered
    int silentAfter = 0;
};

class PhoneEmulator {
public:
    PhoneEmulator();

    // Bytes from the host. Replies go out through Output, synchronously, one call
    // per chunk the phone would send.
    void Receive(const void* data, std::size_t length);
    std::function<void(const std::string&)> Output;

    // The file system. Folder codes as the host sends them (' ' is the root and the
    // other container folders, which list as the root does).
    void PutFile(uint8_t code, const std::string& utf8Name, const std::string& data);
    bool Exists(uint8_t code, const std::string& utf8Name) const;
    std::string FileData(uint8_t code, const std::string& utf8Name) const;
    std::vector<std::string> FileNames(uint8_t code) const;  // in listing order
    void LoadSampleContent();

    EmulatorFaults Faults;
    // Every command line received (without CR LF), in order.
    std::vector<std::string> Commands;
    // Both directions, for a transcript: 'H' host to phone, 'P' phone to host.
    std::vector<std::pair<char, std::string>> Transcript;

private:
    // ...chosen by the implementation
};
