// The phone's side of the AT file-system protocol, in memory: folders addressed by
// one-byte codes, UTF-8 file names, listings, reads with the "#OK#" handshake,
// writes with a prompt before each block and the checksum check, erases and
// change-folder; with fault injection for tests.
//
// Replies, all lines ending in CR LF:
//   ATZ, AT, ATE0, ATE1        OK (ATZ also makes the root the working folder again;
//                              ATE0/ATE1 switch the echo fault off/on)
//   AT+FSCD="c"                OK, or +CME ERROR: 11 for an unknown folder code
//   AT+FSDL="c"                +FSDL: "<name>",<index>,0,<date>,<time>,<size>,<more>
//                              per file (more: 1 while further entries follow, else 0),
//                              then OK; +CME ERROR: 11 for an unknown folder code
//   AT+FSFR=-1,"name"          +FSFR: 0,<size>,<crc>, then per block of up to 512 bytes
//                              "+FSFR: <n>,<len>,<bytes>\r\n#OK#" (n from 1) in one chunk
//                              (<len> the file's size instead under a fault);
//                              the next block waits for the host's "##>"; after the
//                              last one, OK. An empty file: the header, then OK.
//                              +CME ERROR: 11 when the file is missing
//   AT+FSFW=-1,"name",<size mod 512>," ",<size>,<crc>
//                              "##>" before each block of min(512, rest) raw bytes, then
//                              OK once the checksum matched, or +CME ERROR: 2008; a size
//                              of 0 is answered with OK at once. +CME ERROR: 2007 when
//                              the file does not fit, +CME ERROR: 50 for bad parameters
//   AT+FSFE=-1,"name"          OK, or +CME ERROR: 11
//   anything else              ERROR; empty lines are ignored
// A line other than "##>" while a read waits for the host ends the read and is handled
// as a command; while write data is expected every byte is file data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct EmulatorFaults {
    bool silent = false;               // answer nothing at all
    bool echo = false;                 // echo each command line before the reply
    std::string errorCommand;          // a command prefix, e.g. "AT+FSFW"; empty: none
    int errorCode = 0;                 // answered with "+CME ERROR: <code>" to that command
    int errorCountdown = 0;            // let this many matching commands succeed first
    std::size_t splitEvery = 0;        // cut the output into chunks of this many bytes (0: whole)
    bool corruptReadCrc = false;       // announce a wrong checksum in read headers
    bool silentAfterCommands = false;  // go silent once silentAfter commands were answered
    int silentAfter = 0;
    bool doublePrompt = false;  // send every write prompt "##>" twice
    bool strayPrompt = false;   // put a "##>" line before the OK of an erase or change-folder
    // From this block of a read on (1: every block), a data line's second field is the
    // file's size rather than the block's length; 0: never.
    int sizeFieldFrom = 0;
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

    bool EraseFile(uint8_t code, const std::string& utf8Name);
    std::size_t UsedBytes() const;  // the sum of all file sizes
    uint8_t WorkingFolder() const { return workingFolder_; }
    // True while the phone waits for the host in the middle of a read or write.
    bool InTransfer() const { return mode_ != Mode::Command; }
    bool AwaitingWriteData() const { return mode_ == Mode::WriteData; }
    // Drops a read or write in progress (the host went away); the partial write is lost.
    void AbortTransfer();
    // The standard folder codes (the root and containers share ' ').
    static bool IsStandardFolderCode(uint8_t code);

    static constexpr int kErrorNotFound = 11;
    static constexpr int kErrorBadParameters = 50;
    static constexpr int kErrorMemoryFull = 2007;
    static constexpr int kErrorChecksum = 2008;
    static constexpr std::size_t kBlockSize = 512;

    // Room for files, in bytes; a write that does not fit is refused with 2007.
    std::size_t Capacity = std::size_t{256} << 20;

    EmulatorFaults Faults;
    // Every command line received (without CR LF), in order.
    std::vector<std::string> Commands;
    // Both directions, for a transcript: 'H' host to phone, 'P' phone to host.
    std::vector<std::pair<char, std::string>> Transcript;

  private:
    enum class Mode { Command, ReadWaitAck, WriteData };
    struct File {
        std::string name;
        std::string data;
    };

    void Process();
    void HandleLine(const std::string& line);
    void Dispatch(const std::string& line);
    void StartList(const std::string& line);
    void StartChangeFolder(const std::string& line);
    void StartRead(const std::string& line);
    void StartWrite(const std::string& line);
    void StartErase(const std::string& line);
    void SendNextReadBlock();
    void TakeWriteData();
    void FinishWrite();
    void Reply(const std::string& text);  // the final reply of a command
    void SendPrompt();                    // asks the host for the next write block
    void Send(const std::string& text);
    bool Muted() const;
    File* Find(uint8_t code, const std::string& name);
    const File* Find(uint8_t code, const std::string& name) const;

    std::map<uint8_t, std::vector<File>> folders_;
    uint8_t workingFolder_ = ' ';
    Mode mode_ = Mode::Command;
    std::string input_;  // received bytes not yet handled
    std::string line_;   // a command line in the making
    bool lineTooLong_ = false;
    bool busy_ = false;
    int answered_ = 0;

    // The read in progress.
    std::string readData_;
    std::size_t readPos_ = 0;
    int readBlock_ = 0;

    // The write in progress.
    uint8_t writeFolder_ = ' ';
    std::string writeName_;
    std::string writeData_;
    std::size_t writeSize_ = 0;
    std::size_t writeBlockEnd_ = 0;
    uint32_t writeCrc_ = 0;
};
