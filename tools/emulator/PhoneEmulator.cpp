#include "tools/emulator/PhoneEmulator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace {

constexpr uint8_t kStandardCodes[] = {' ', '`', 'T', 'C', 'Q', 'R', 'E', 'D', 'V', 'Y', '\\'};

// A command line longer than this is refused as a whole.
constexpr std::size_t kMaxLineLength = 4096;

// The phone's own CRC-32 (IEEE 802.3, reflected, as zlib computes it).
uint32_t PhoneCrc32(const std::string& data) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : data) {
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// A whole unsigned decimal number, nothing else.
template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && p == end;
}

// The name of `AT+FSxx=-1,"name"`: everything between the opening quote and the final
// quote of the line.
bool QuotedNameCommand(const std::string& line, const char* prefix, std::string& name) {
    std::string head = std::string(prefix) + "=-1,\"";
    if (!StartsWith(line, head.c_str()) || line.size() < head.size() + 2 || line.back() != '"') {
        return false;
    }
    name = line.substr(head.size(), line.size() - head.size() - 1);
    return true;
}

// The folder code of `AT+FSxx="c"`.
bool FolderCodeCommand(const std::string& line, const char* prefix, uint8_t& code) {
    std::string head = std::string(prefix) + "=\"";
    if (!StartsWith(line, head.c_str()) || line.size() != head.size() + 2 || line.back() != '"') {
        return false;
    }
    code = static_cast<uint8_t>(line[head.size()]);
    return true;
}

std::string CmeError(int code) {
    return "+CME ERROR: " + std::to_string(code) + "\r\n";
}

}  // namespace

PhoneEmulator::PhoneEmulator() {
    for (uint8_t code : kStandardCodes) {
        folders_[code];
    }
}

bool PhoneEmulator::IsStandardFolderCode(uint8_t code) {
    for (uint8_t c : kStandardCodes) {
        if (c == code) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// The file system

PhoneEmulator::File* PhoneEmulator::Find(uint8_t code, const std::string& name) {
    auto folder = folders_.find(code);
    if (folder == folders_.end()) {
        return nullptr;
    }
    for (File& f : folder->second) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

const PhoneEmulator::File* PhoneEmulator::Find(uint8_t code, const std::string& name) const {
    return const_cast<PhoneEmulator*>(this)->Find(code, name);
}

void PhoneEmulator::PutFile(uint8_t code, const std::string& utf8Name, const std::string& data) {
    if (File* f = Find(code, utf8Name)) {
        f->data = data;
        return;
    }
    folders_[code].push_back(File{utf8Name, data});
}

bool PhoneEmulator::Exists(uint8_t code, const std::string& utf8Name) const {
    return Find(code, utf8Name) != nullptr;
}

std::string PhoneEmulator::FileData(uint8_t code, const std::string& utf8Name) const {
    const File* f = Find(code, utf8Name);
    return f ? f->data : std::string();
}

std::vector<std::string> PhoneEmulator::FileNames(uint8_t code) const {
    std::vector<std::string> names;
    auto folder = folders_.find(code);
    if (folder != folders_.end()) {
        for (const File& f : folder->second) {
            names.push_back(f.name);
        }
    }
    return names;
}

bool PhoneEmulator::EraseFile(uint8_t code, const std::string& utf8Name) {
    auto folder = folders_.find(code);
    if (folder == folders_.end()) {
        return false;
    }
    auto& files = folder->second;
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it->name == utf8Name) {
            files.erase(it);
            return true;
        }
    }
    return false;
}

std::size_t PhoneEmulator::UsedBytes() const {
    std::size_t used = 0;
    for (const auto& [code, files] : folders_) {
        for (const File& f : files) {
            used += f.data.size();
        }
    }
    return used;
}

// ---------------------------------------------------------------------------
// Input

void PhoneEmulator::Receive(const void* data, std::size_t length) {
    std::string bytes(static_cast<const char*>(data), length);
    Transcript.emplace_back('H', bytes);
    input_ += bytes;
    // An Output handler may answer at once (for instance "##>" to a read marker): its
    // bytes are queued and handled by the outer call, in order.
    if (busy_) {
        return;
    }
    busy_ = true;
    struct Release {
        bool& flag;
        ~Release() { flag = false; }
    } release{busy_};
    Process();
}

void PhoneEmulator::Process() {
    while (!input_.empty()) {
        if (mode_ == Mode::WriteData) {
            TakeWriteData();
            continue;
        }
        std::size_t lf = input_.find('\n');
        std::size_t take = lf == std::string::npos ? input_.size() : lf;
        if (!lineTooLong_) {
            if (line_.size() + take > kMaxLineLength) {
                lineTooLong_ = true;
                line_.clear();
            } else {
                line_.append(input_, 0, take);
            }
        }
        if (lf == std::string::npos) {
            input_.clear();
            return;
        }
        input_.erase(0, lf + 1);
        std::string line = std::move(line_);
        line_.clear();
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (lineTooLong_) {
            lineTooLong_ = false;
            if (!Muted()) {
                Reply("ERROR\r\n");
            }
            continue;
        }
        HandleLine(line);
    }
}

bool PhoneEmulator::Muted() const {
    return Faults.silent || (Faults.silentAfterCommands && answered_ >= Faults.silentAfter);
}

void PhoneEmulator::HandleLine(const std::string& line) {
    if (mode_ == Mode::ReadWaitAck) {
        if (line == "##>") {
            SendNextReadBlock();
            return;
        }
        if (line.empty()) {
            return;
        }
        // The host gave up on the read and sent something new.
        AbortTransfer();
    }
    if (line.empty() || line == "##>") {
        return;  // a stray acknowledgement or an empty line: no answer
    }
    Commands.push_back(line);
    if (Muted()) {
        return;
    }
    if (Faults.echo) {
        Send(line + "\r\n");
    }
    if (!Faults.errorCommand.empty() && StartsWith(line, Faults.errorCommand.c_str())) {
        if (Faults.errorCountdown > 0) {
            --Faults.errorCountdown;
        } else {
            Reply(CmeError(Faults.errorCode));
            return;
        }
    }
    Dispatch(line);
}

void PhoneEmulator::Dispatch(const std::string& line) {
    if (line == "ATZ") {
        workingFolder_ = ' ';
        Reply("OK\r\n");
    } else if (line == "AT") {
        Reply("OK\r\n");
    } else if (line == "ATE0" || line == "ATE1") {
        Faults.echo = line == "ATE1";
        Reply("OK\r\n");
    } else if (StartsWith(line, "AT+FSDL=")) {
        StartList(line);
    } else if (StartsWith(line, "AT+FSCD=")) {
        StartChangeFolder(line);
    } else if (StartsWith(line, "AT+FSFR=")) {
        StartRead(line);
    } else if (StartsWith(line, "AT+FSFW=")) {
        StartWrite(line);
    } else if (StartsWith(line, "AT+FSFE=")) {
        StartErase(line);
    } else {
        Reply("ERROR\r\n");
    }
}

// ---------------------------------------------------------------------------
// Commands

void PhoneEmulator::StartList(const std::string& line) {
    uint8_t code = 0;
    if (!FolderCodeCommand(line, "AT+FSDL", code)) {
        Reply(CmeError(kErrorBadParameters));
        return;
    }
    auto folder = folders_.find(code);
    if (folder == folders_.end()) {
        Reply(CmeError(kErrorNotFound));
        return;
    }
    const auto& files = folder->second;
    for (std::size_t i = 0; i < files.size(); ++i) {
        Send("+FSDL: \"" + files[i].name + "\"," + std::to_string(i) + ",0,20090301,120000," +
             std::to_string(files[i].data.size()) + "," + (i + 1 < files.size() ? "1" : "0") +
             "\r\n");
    }
    Reply("OK\r\n");
}

void PhoneEmulator::StartChangeFolder(const std::string& line) {
    uint8_t code = 0;
    if (!FolderCodeCommand(line, "AT+FSCD", code)) {
        Reply(CmeError(kErrorBadParameters));
        return;
    }
    if (folders_.find(code) == folders_.end()) {
        Reply(CmeError(kErrorNotFound));
        return;
    }
    workingFolder_ = code;
    if (Faults.strayPrompt)
        Send("##>\r\n");
    Reply("OK\r\n");
}

void PhoneEmulator::StartErase(const std::string& line) {
    std::string name;
    if (!QuotedNameCommand(line, "AT+FSFE", name)) {
        Reply(CmeError(kErrorBadParameters));
        return;
    }
    const bool erased = EraseFile(workingFolder_, name);
    if (erased && Faults.strayPrompt)
        Send("##>\r\n");
    Reply(erased ? "OK\r\n" : CmeError(kErrorNotFound));
}

void PhoneEmulator::StartRead(const std::string& line) {
    std::string name;
    if (!QuotedNameCommand(line, "AT+FSFR", name)) {
        Reply(CmeError(kErrorBadParameters));
        return;
    }
    const File* f = Find(workingFolder_, name);
    if (!f) {
        Reply(CmeError(kErrorNotFound));
        return;
    }
    uint32_t crc = PhoneCrc32(f->data);
    if (Faults.corruptReadCrc) {
        crc ^= 0x00010001u;
    }
    Send("+FSFR: 0," + std::to_string(f->data.size()) + "," + std::to_string(crc) + "\r\n");
    if (f->data.empty()) {
        Reply("OK\r\n");
        return;
    }
    readData_ = f->data;  // a copy: the host may erase the file before the read ends
    readPos_ = 0;
    readBlock_ = 0;
    mode_ = Mode::ReadWaitAck;
    SendNextReadBlock();
}

void PhoneEmulator::SendNextReadBlock() {
    if (readPos_ >= readData_.size()) {
        AbortTransfer();
        Reply("OK\r\n");
        return;
    }
    std::size_t n = std::min(kBlockSize, readData_.size() - readPos_);
    ++readBlock_;
    // The data line and the marker leave in one chunk: the host answers the marker and
    // takes everything it holds after the line's start as the block.
    const bool sizeField = Faults.sizeFieldFrom > 0 && readBlock_ >= Faults.sizeFieldFrom;
    const std::size_t second = sizeField ? readData_.size() : n;
    Send("+FSFR: " + std::to_string(readBlock_) + "," + std::to_string(second) + "," +
         readData_.substr(readPos_, n) + "\r\n#OK#");
    readPos_ += n;
}

void PhoneEmulator::StartWrite(const std::string& line) {
    // AT+FSFW=-1,"name",<last>," ",<size>,<crc>: the name may hold commas and quotes,
    // so the fields are taken from the end.
    const std::string head = "AT+FSFW=-1,\"";
    const std::string space = ",\" \",";  // between <last> and <size>
    bool ok = StartsWith(line, head.c_str());
    std::size_t crcComma = ok ? line.rfind(',') : std::string::npos;
    std::size_t sizeComma = crcComma == std::string::npos || crcComma == 0
                                ? std::string::npos
                                : line.rfind(',', crcComma - 1);
    ok = sizeComma != std::string::npos && sizeComma >= head.size() + space.size() &&
         line.compare(sizeComma + 1 - space.size(), space.size(), space) == 0;
    std::size_t group = ok ? sizeComma + 1 - space.size() : 0;
    std::size_t lastComma = ok ? line.rfind(',', group - 1) : std::string::npos;
    ok = ok && lastComma != std::string::npos && lastComma > head.size() &&
         line[lastComma - 1] == '"';
    std::size_t last = 0;
    std::size_t size = 0;
    uint32_t crc = 0;
    ok = ok && ParseNumber(line.substr(lastComma + 1, group - lastComma - 1), last) &&
         ParseNumber(line.substr(sizeComma + 1, crcComma - sizeComma - 1), size) &&
         ParseNumber(line.substr(crcComma + 1), crc);
    std::string name = ok ? line.substr(head.size(), lastComma - 1 - head.size()) : "";
    if (!ok || name.empty() || last != size % kBlockSize) {
        Reply(CmeError(kErrorBadParameters));
        return;
    }
    const File* old = Find(workingFolder_, name);
    std::size_t used = UsedBytes() - (old ? old->data.size() : 0);
    if (used > Capacity || size > Capacity - used) {
        Reply(CmeError(kErrorMemoryFull));
        return;
    }
    writeFolder_ = workingFolder_;
    writeName_ = name;
    writeSize_ = size;
    writeCrc_ = crc;
    writeData_.clear();
    if (size == 0) {
        // The host sends nothing for an empty file, so no prompt is given.
        FinishWrite();
        return;
    }
    writeData_.reserve(size);
    writeBlockEnd_ = std::min(kBlockSize, size);
    mode_ = Mode::WriteData;
    SendPrompt();
}

void PhoneEmulator::TakeWriteData() {
    std::size_t n = std::min(input_.size(), writeBlockEnd_ - writeData_.size());
    writeData_.append(input_, 0, n);
    input_.erase(0, n);
    if (writeData_.size() < writeBlockEnd_) {
        return;
    }
    if (writeData_.size() < writeSize_) {
        writeBlockEnd_ = std::min(writeSize_, writeData_.size() + kBlockSize);
        SendPrompt();
        return;
    }
    mode_ = Mode::Command;
    FinishWrite();
}

void PhoneEmulator::FinishWrite() {
    std::string data = std::move(writeData_);
    writeData_.clear();
    if (data.size() != writeSize_ || PhoneCrc32(data) != writeCrc_) {
        Reply(CmeError(kErrorChecksum));
        return;
    }
    PutFile(writeFolder_, writeName_, data);
    Reply("OK\r\n");
}

void PhoneEmulator::AbortTransfer() {
    mode_ = Mode::Command;
    readData_.clear();
    readPos_ = 0;
    writeData_.clear();
    writeSize_ = 0;
}

// ---------------------------------------------------------------------------
// Output

void PhoneEmulator::SendPrompt() {
    Send("##>\r\n");
    if (Faults.doublePrompt)
        Send("##>\r\n");
}

void PhoneEmulator::Reply(const std::string& text) {
    ++answered_;
    Send(text);
}

void PhoneEmulator::Send(const std::string& text) {
    if (Faults.silent) {
        return;
    }
    std::size_t step = Faults.splitEvery ? Faults.splitEvery : text.size();
    for (std::size_t pos = 0; pos < text.size(); pos += step) {
        std::string chunk = text.substr(pos, step);
        Transcript.emplace_back('P', chunk);
        if (Output) {
            Output(chunk);
        }
    }
}
