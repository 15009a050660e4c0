// libFuzzer target over the headless core: one file operation of a connected
// session, driven by events decoded from the input, with the program's invariants
// checked after every event.
//
// Input layout (bytes past the end read as 0):
//   [0] operation (see Operation), [1] phone folder shown, [2] [3] selection
//   masks (phone pane rows, computer pane items), [4] flags (bit 0: every melody
//   slot taken; bit 1: select the last computer item; high half: where the computer
//   mask starts), [5] dialog answers
//   queued before the start (low 2 bits: rename answers, next 2 bits: file-exists
//   answers; each answer is two bytes: result, name), then events until the input
//   ends: the low 4 bits of an event byte pick its kind (see RunEvent).
//
// After the events the watchdog ticks until the program gives up waiting (at most
// 20 ticks), and the final state is checked: nothing awaited, the window enabled,
// no local file open, no temporary file left behind.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/PaneSelection.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/Navigation.h"
#include "engine/ReceiveHandler.h"
#include "phonefs/CodePage.h"
#include "phonefs/PhoneTree.h"
#include "protocol/Framing.h"
#include "tests/support/Fakes.h"
#include "tools/emulator/PhoneEmulator.h"

using namespace orvo;

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Failure report

std::string Escape(const std::string& bytes) {
    std::string shown;
    for (unsigned char c : bytes.substr(0, 300)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown;
}

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "INVARIANT VIOLATED: %s\n", what);
    if (!detail.empty())
        std::fprintf(stderr, "  %s\n", Escape(detail).c_str());
    std::fflush(stderr);
    __builtin_trap();
}

#define CHECK(cond, ...)                            \
    do {                                            \
        if (!(cond))                                \
            Fail(#cond __VA_OPT__(, ) __VA_ARGS__); \
    } while (0)

// ---------------------------------------------------------------------------
// Scratch folders, private to this process, made once.

struct Scratch {
    std::string root;      // everything below is inside
    std::string tmp;       // $TMPDIR
    std::string data;      // $XDG_DATA_HOME
    std::string rescued;   // $XDG_DATA_HOME/orvo-fm/rescued
    std::string computer;  // the computer pane's folder
};
Scratch g;

struct LocalSeed {
    std::string name;  // UTF-8
    std::string data;
    struct stat made = {};  // as written: a rewrite or a replacement changes it
};
std::vector<LocalSeed> g_local;
// The computer pane's items over the seed files (the folder is the same for every
// input, so it is listed once).
std::vector<FakeComputerPane::Item> g_items;
// What an input left in the scratch folders, found by the final check.
std::vector<std::string> g_leftovers;

// File bytes that never read as a command line or a prompt: the write checker
// below tells commands from blocks by their text.
std::string Content(std::size_t n, unsigned seed) {
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 3)) & 0xFF);
    if (n > 0)
        out[0] = static_cast<char>(0xFE);
    return out;
}

void PutLocal(LocalSeed& f) {
    const std::string path = g.computer + "/" + f.name;
    std::ofstream(path, std::ios::binary)
        .write(f.data.data(), static_cast<std::streamsize>(f.data.size()));
    ::stat(path.c_str(), &f.made);
}

bool Untouched(const LocalSeed& f) {
    struct stat now {};
    return ::stat((g.computer + "/" + f.name).c_str(), &now) == 0 && now.st_ino == f.made.st_ino &&
           now.st_size == f.made.st_size && now.st_mtim.tv_sec == f.made.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == f.made.st_mtim.tv_nsec;
}

void RemoveScratch() {
    std::error_code ec;
    if (!g.root.empty())
        fs::remove_all(g.root, ec);
}

void MakeScratch() {
    // In memory when the system has a tmpfs at hand: rewriting files on a disk file
    // system costs more than a whole run.
    const char* base = std::getenv("TMPDIR");
    std::string dir = base && base[0] == '/' ? base : "/tmp";
    if (!std::getenv("ORVO_FUZZ_SCRATCH_ON_DISK") && fs::is_directory("/dev/shm"))
        dir = "/dev/shm";
    std::string pattern = dir + "/orvo-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        Fail("cannot make the scratch folder", pattern);
    g.root = pattern;
    // Gone when the process ends normally; after a crash it stays for a look.
    std::atexit(RemoveScratch);
    g.tmp = g.root + "/tmp";
    g.data = g.root + "/data";
    g.rescued = g.data + "/orvo-fm/rescued";
    g.computer = g.root + "/computer";
    fs::create_directories(g.tmp);
    fs::create_directories(g.rescued);
    fs::create_directories(g.computer + "/sub");
    ::setenv("TMPDIR", g.tmp.c_str(), 1);
    ::setenv("XDG_DATA_HOME", g.data.c_str(), 1);

    g_local = {
        {"up.bin", Content(700, 1)},
        {"tiny.txt", "\376bc"},
        {"empty.bin", ""},
        {"tune.mel", "MMMD" + Content(60, 2)},
        {"headed.mel", Content(32, 3) + "MMMD" + Content(20, 4)},
        {"noise.mel", Content(40, 5)},
        {"game.jar", Content(300, 6)},
        {"game.jad", Content(50, 7)},
        {"a rather long sound file name.mid", Content(40, 8)},
        {"\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mid", Content(30, 9)},  // Песня.mid
        {"ring.mid", Content(1024, 10)},   // also on the phone: the file-exists dialog
        {"big.bin", Content(616449, 11)},  // one byte over the largest upload
    };
    for (auto& f : g_local) PutLocal(f);
    FakeComputerPane pane;
    pane.Load(g.computer);
    g_items = pane.items;
}

// Puts the scratch folders back as they were made: removes what the final check
// found left behind and rewrites a seed file that a download replaced.
void ResetScratch() {
    std::error_code ec;
    for (const std::string& path : g_leftovers) fs::remove_all(path, ec);
    g_leftovers.clear();
    for (auto& f : g_local)
        if (!Untouched(f))
            PutLocal(f);
}

// ---------------------------------------------------------------------------
// The phone: a model tree as a caching pass leaves it, and an emulator holding
// the same files, whose answers the input may ask for.

struct PhoneSeed {
    uint8_t code;
    const char* name;  // CP1251
    int32_t size;
};

const PhoneSeed kPhoneFiles[] = {
    {'`', "game_suite.jad", 120},
    {'`', "game_suite.jar", 1500},
    {'`', "suites.utf", 6},
    {'`', "suitesName.utf", 11},
    {'T', "ring.mid", 600},
    {'T', "\xC7\xE2\xEE\xED\xEE\xEA.mid", 40},  // Звонок.mid
    {'C', "melody01.mel", 100},
    {'R', "pic.jpg", 1025},
    {'R', "note.txt", 3},
    {'R', "big.png", 1536},
    {'V', "ok.jpg", 512},
    {'V', "cr\rname.jpg", 10},  // only in the model: the phone cannot hold it
};

// A port that records every write and hands it to the emulator too.
class FuzzPort : public RecordingPort {
  public:
    explicit FuzzPort(PhoneEmulator& phone) : phone_(phone) {}
    bool Write(const void* data, uint16_t length) override {
        RecordingPort::Write(data, length);
        phone_.Receive(data, length);
        return true;
    }
    // Says it frames as told, as the serial component does, so that reads learn
    // their blocks' length and get their second chance here too.
    bool SetReplyFraming(ReplyFraming) override { return true; }

  private:
    PhoneEmulator& phone_;
};

void CollectTree(PhoneNode* node, std::vector<PhoneNode*>& out) {
    for (; node; node = node->NextSibling.get()) {
        out.push_back(node);
        CollectTree(node->FirstChild.get(), out);
    }
}

PhoneNode* FolderByName(const std::vector<PhoneNode*>& folders, const char* name) {
    for (PhoneNode* f : folders)
        if (f->Name == name)
            return f;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Reading the input

class Input {
  public:
    Input(const uint8_t* data, std::size_t size) : p_(data), n_(size) {}
    bool Empty() const { return n_ == 0; }
    uint8_t Byte() {
        if (n_ == 0)
            return 0;
        --n_;
        return *p_++;
    }
    std::string Take(std::size_t count) {
        count = std::min(count, n_);
        std::string out(reinterpret_cast<const char*>(p_), count);
        p_ += count;
        n_ -= count;
        return out;
    }

  private:
    const uint8_t* p_;
    std::size_t n_;
};

// Names the dialogs may hand back (UTF-8).
const std::string kDialogNames[] = {
    "",
    "new.bin",
    "note.txt",
    "pic.jpg",
    "ring.mid",
    "\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9.txt",  // Новый.txt
    "quo\"te.txt",
    "line\nbreak.txt",
    std::string("nul\0.txt", 8),
    std::string(70, 'n') + ".txt",
    "melody01.mel",
    "game.jar",
    "cr\rname.jpg",
    "..",
    "\xE6\x97\xA5.txt",  // no CP1251 form
    "ok.jpg",
};
constexpr int kDialogResults[] = {1, 2, 5, 0};

std::string DialogName(uint8_t b) {
    return kDialogNames[b % (sizeof kDialogNames / sizeof kDialogNames[0])];
}

// Whole replies of the phone, for the input to pick.
const char* const kReplies[] = {
    "OK\r\n",
    "##>\r\n",
    "#OK#",
    "+CME ERROR: 11\r\n",
    "+CME ERROR: 2007\r\n",
    "ERROR\r\n",
    "\r\n",
    "+FSFR: 0,3,3278618127\r\n",  // header of the 3-byte file "\376bc"
    "+FSFR: 1,3,\376bc\r\n#OK#",
    "+FSDL: \"x.bin\",0,0,20090301,120000,10,0\r\n",
    "+FSFR: 1,2,a\n\r\n#OK#",
    "+CME ERROR: 2008\r\n",
};

// ---------------------------------------------------------------------------
// The checks

// Follows the port's writes: each one is a command line, the answer to a read
// marker, or one block of the file a Write command announced.
class WireChecker {
  public:
    void Check(const std::vector<std::string>& writes) {
        for (; next_ < writes.size(); ++next_) Take(writes[next_]);
    }

  private:
    // The quoted argument of a command line: no byte that would end it early.
    static void CheckArgument(const std::string& arg, const std::string& line) {
        CHECK(arg.find_first_of(std::string("\r\n\0\"", 4)) == std::string::npos, line);
    }

    static bool Digits(const std::string& t) {
        return !t.empty() && t.size() <= 10 &&
               t.find_first_not_of("0123456789") == std::string::npos;
    }

    // True (after checking it) when w is a command line this program sends.
    bool TakeCommand(const std::string& w) {
        if (w.size() < 4 || w.compare(0, 2, "AT") != 0 || w.compare(w.size() - 2, 2, "\r\n") != 0)
            return false;
        const std::string body = w.substr(0, w.size() - 2);
        if (body == "ATZ")
            return true;
        static const char* const kQuoted[] = {"AT+FSDL=\"", "AT+FSFR=-1,\"", "AT+FSFE=-1,\"",
                                              "AT+FSCD=\""};
        for (const char* prefix : kQuoted) {
            const std::size_t n = std::strlen(prefix);
            if (body.size() > n && body.compare(0, n, prefix) == 0 && body.back() == '"') {
                CheckArgument(body.substr(n, body.size() - n - 1), w);
                return true;
            }
        }
        // AT+FSFW=-1,"<name>",<size mod 512>," ",<size>,<crc>
        const std::string fw = "AT+FSFW=-1,\"";
        if (body.compare(0, fw.size(), fw) != 0)
            return false;
        const std::size_t blank = body.rfind(",\" \",");
        const std::size_t tail = blank == std::string::npos || blank == 0
                                     ? std::string::npos
                                     : body.rfind("\",", blank - 1);
        if (tail == std::string::npos || tail < fw.size())
            return false;
        const std::string name = body.substr(fw.size(), tail - fw.size());
        const std::string rest = body.substr(tail + 2, blank - tail - 2);
        const std::string numbers = body.substr(blank + 5);
        const std::size_t comma = numbers.find(',');
        if (comma == std::string::npos)
            return false;
        const std::string size = numbers.substr(0, comma);
        const std::string crc = numbers.substr(comma + 1);
        if (!Digits(rest) || !Digits(size) || !Digits(crc))
            return false;
        CheckArgument(name, w);
        const uint64_t announced = std::stoull(size);
        CHECK(std::stoull(rest) == announced % 512, w);
        writeLeft_ = announced;
        writeName_ = name;
        inWrite_ = true;
        return true;
    }

    void Take(const std::string& w) {
        if (w == "##>\r\n")
            return;  // the answer to a read marker
        // Inside a Write a block may look like anything; a block that happens to
        // spell a whole command line is taken as one (that only skips checks).
        if (TakeCommand(w)) {
            return;
        }
        CHECK(inWrite_, "bytes sent outside a Write: " + w);
        CHECK(!w.empty() && w.size() <= 512, "block of " + std::to_string(w.size()) + " bytes");
        CHECK(w.size() <= writeLeft_, "block of " + std::to_string(w.size()) + " bytes, " +
                                          std::to_string(writeLeft_) + " announced bytes left");
        writeLeft_ -= w.size();
    }

    std::size_t next_ = 0;
    bool inWrite_ = false;
    uint64_t writeLeft_ = 0;
    std::string writeName_;
};

// ---------------------------------------------------------------------------
// One run

enum Operation : uint8_t {
    kStartUp,
    kCachingPass,
    kRescan,
    kDownload,
    kUploadJava,
    kUploadDefaultSounds,
    kUploadMySounds,
    kUploadPlain,
    kUploadAnywhere,
    kDelete,
    kRename,
    kCompileJava,
    kOperations
};

class Run {
  public:
    Run() : port(phone) {
        s.Port = &port;
        s.Ui = &ui;
        s.PhonePane = &pane;
        s.Source = &source;
        phone.Output = [this](const std::string& chunk) { phoneOutput.push_back(chunk); };
        ui.onMessage = [this] { DeliverNested(); };
    }

    void Execute(Input& in) {
        const uint8_t op = in.Byte() % kOperations;
        const uint8_t folderPick = in.Byte();
        const uint8_t phoneMask = in.Byte();
        const uint8_t localMask = in.Byte();
        const uint8_t flags = in.Byte();
        const uint8_t answers = in.Byte();
        for (int i = 0; i < (answers & 3); ++i) {
            const int result = kDialogResults[in.Byte() % 4];
            ui.renameAnswers.emplace_back(result, DialogName(in.Byte()));
        }
        for (int i = 0; i < ((answers >> 2) & 3); ++i) PushExistAnswer(in);

        if (op == kStartUp) {
            Guarded([&] { InitialisePhone(s); });
        } else {
            Connect(op, folderPick, flags);
            for (int i = 0; i < pane.Count() && i < 8; ++i)
                if (phoneMask & (1 << i))
                    pane.SetSelected(i, true);
            source.folder = g.computer;
            source.items = g_items;
            // Bit i of the mask selects item i + (the high half of flags).
            for (int i = 0; i < source.Count() && i < 8; ++i)
                if (localMask & (1 << i))
                    source.SetSelected((i + (flags >> 4)) % source.Count(), true);
            if (flags & 2)
                source.SetSelected(source.Count() - 1, true);
            CheckAll();
            Start(op);
        }
        CheckAll();

        while (!in.Empty()) {
            RunEvent(in);
            AfterEvent();
        }

        // The phone falls silent: the watchdog must bring the program back.
        finalPhase = true;
        for (int i = 0; i < 20 && s.Timer1.Enabled; ++i) {
            Guarded([&] { WatchdogExpired(s); });
            AfterEvent();
        }
        CheckFinal();
        if (std::getenv("ORVO_FUZZ_VERBOSE"))
            Dump();
    }

    // What the run sent and showed, for reading a reproduced input.
    void Dump() const {
        std::fprintf(stderr, "-- sent:\n");
        for (const auto& w : port.writes) std::fprintf(stderr, "   %s\n", Escape(w).c_str());
        std::fprintf(stderr, "-- messages:\n");
        for (const auto& m : ui.messages)
            std::fprintf(stderr, "   [%s] %s\n", m.caption.c_str(), Escape(m.text).c_str());
        std::fprintf(stderr, "-- state %d, window %s\n", static_cast<int>(s.CurrentOperation),
                     s.MainWindow.Enabled ? "enabled" : "disabled");
    }

  private:
    // The widgets run every handler of the core inside a catch-all that reports
    // the error in a message box.
    void Guarded(const std::function<void()>& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            ui.MessageBox(e.what(), "Ошибка");
        }
    }

    void Deliver(const std::string& chunk) {
        // The serial component hands over at most 2048 bytes at a time.
        for (std::size_t at = 0; at < chunk.size(); at += 2048) {
            const std::size_t n = std::min<std::size_t>(chunk.size() - at, 2048);
            CheckFraming(reinterpret_cast<const uint8_t*>(chunk.data() + at), n);
            Guarded([&] {
                ReceiveChunk(s, reinterpret_cast<const uint8_t*>(chunk.data() + at),
                             static_cast<uint16_t>(n));
            });
        }
    }

    // Where the serial component could cut these bytes under each framing: never
    // past their end, and a line framing only behind a line end.
    static void CheckFraming(const uint8_t* data, std::size_t length) {
        for (ReplyFraming framing :
             {ReplyFraming::QuietGap, ReplyFraming::Lines, ReplyFraming::ReadBlocks}) {
            const std::size_t end = FramedReplyEnd(framing, data, length);
            if (end > length || (framing == ReplyFraming::QuietGap && end != 0) ||
                (framing == ReplyFraming::Lines && end > 0 && data[end - 1] != '\n'))
                Fail("framing cut outside the bytes or a line");
        }
    }

    // A message box runs a nested event loop: bytes that arrive meanwhile reach
    // the engine from inside the message.
    void DeliverNested() {
        if (nested.empty() || nesting > 0)
            return;
        ++nesting;
        const std::string chunk = std::move(nested);
        nested.clear();
        Deliver(chunk);
        --nesting;
    }

    void PushExistAnswer(Input& in) {
        const int result = kDialogResults[in.Byte() % 4];
        ui.existAnswers.push_back({result, DialogName(in.Byte())});
    }

    // A session as a completed caching pass leaves it, showing one folder.
    void Connect(uint8_t op, uint8_t folderPick, uint8_t flags) {
        s.PhoneTree = SeedStandardFolders();
        std::vector<PhoneNode*> folders;
        CollectTree(s.PhoneTree.get(), folders);
        for (const PhoneSeed& f : kPhoneFiles) {
            PhoneNode* folder = nullptr;
            for (PhoneNode* n : folders)
                if (n->Code == f.code)
                    folder = n;
            AddFile(folder, f.name, f.size);
            if (!PhoneName(f).empty())
                phone.PutFile(f.code, PhoneName(f), PhoneContent(f));
        }
        if (flags & 1) {
            // Every melody slot taken.
            PhoneNode* sounds = FolderByName(folders, "Default Sounds");
            for (int i = 2; i <= 16; ++i) {
                const std::string name =
                    (i < 10 ? "melody0" : "melody") + std::to_string(i) + ".mel";
                AddFile(sounds, name, 4);
                phone.PutFile('C', name, "MMMD");
            }
        }
        PhoneNode* shown = folders[folderPick % folders.size()];
        switch (op) {
            case kUploadJava:
                shown = FolderByName(folders, "java");
                break;
            case kUploadDefaultSounds:
                shown = FolderByName(folders, "Default Sounds");
                break;
            case kUploadMySounds:
                shown = FolderByName(folders, "My Sounds");
                break;
            case kUploadPlain:
                shown = FolderByName(folders, "My Images");
                break;
            default:
                break;
        }
        s.CurrentFolder = shown;
        ShowFolder(s, shown);
        s.CurrentOperation = OperationState::Idle;
        s.SetTimerInterval(10000);
        s.SetStatusText(Text(MessageId::StatusIdle));
        s.EnableMainWindow(true);
    }

    // The phone's (UTF-8) name of a model file; empty for a name it cannot hold.
    static const std::string& PhoneName(const PhoneSeed& f) {
        static std::vector<std::string> made;
        if (made.empty()) {
            for (const PhoneSeed& seed : kPhoneFiles) {
                std::string utf8;
                if (!IsUsablePhoneName(seed.name) || !AnsiToUtf8(seed.name, utf8))
                    utf8.clear();
                made.push_back(utf8);
            }
        }
        return made[static_cast<std::size_t>(&f - kPhoneFiles)];
    }

    static const std::string& PhoneContent(const PhoneSeed& f) {
        static std::vector<std::string> made;
        if (made.empty()) {
            for (const PhoneSeed& seed : kPhoneFiles)
                made.push_back(std::strcmp(seed.name, "note.txt") == 0
                                   ? std::string("\376bc")  // the file of the canned replies
                                   : Content(static_cast<std::size_t>(seed.size), seed.code));
        }
        return made[static_cast<std::size_t>(&f - kPhoneFiles)];
    }

    void Start(uint8_t op) {
        Guarded([&] {
            switch (op) {
                case kCachingPass:
                    StartFolderCaching(s);
                    break;
                case kRescan:
                    RereadFolder(s);
                    break;
                case kDownload:
                    DownloadSelectedFiles(s);
                    break;
                case kUploadJava:
                case kUploadDefaultSounds:
                case kUploadMySounds:
                case kUploadPlain:
                case kUploadAnywhere:
                    UploadSelectedFiles(s);
                    break;
                case kDelete:
                    EraseSelectedFiles(s);
                    break;
                case kRename:
                    RenameSelectedFile(s);
                    break;
                case kCompileJava:
                    RebuildJavaRegistry(s);
                    break;
                default:
                    break;
            }
        });
    }

    void RunEvent(Input& in) {
        const uint8_t kind = in.Byte();
        switch (kind & 15) {
            case 0:
            case 1:
            case 2:
                // Received bytes, as the serial component delivers them.
                Deliver(in.Take(1 + in.Byte()));
                break;
            case 3:
                // A short chunk: cuts a reply at any point.
                Deliver(in.Take(1 + (kind >> 4)));
                break;
            case 4:
            case 5: {
                // The phone's own answer, whole or in two pieces.
                if (phoneOutput.empty())
                    break;
                std::string chunk = std::move(phoneOutput.front());
                phoneOutput.pop_front();
                const std::size_t cut = (kind >> 4) == 0 ? chunk.size() : (kind >> 4) * 7;
                if (cut < chunk.size()) {
                    phoneOutput.push_front(chunk.substr(cut));
                    chunk.resize(cut);
                }
                Deliver(chunk);
                break;
            }
            case 6: {
                // Everything the phone has to say, its answers to our answers included.
                for (int i = 0; i < 64 && !phoneOutput.empty(); ++i) {
                    std::string chunk = std::move(phoneOutput.front());
                    phoneOutput.pop_front();
                    Deliver(chunk);
                }
                break;
            }
            case 7:
            case 8:
                Deliver(kReplies[(kind >> 4) % (sizeof kReplies / sizeof kReplies[0])]);
                break;
            case 9:
                // The watchdog fires only while it runs.
                if (s.Timer1.Enabled)
                    Guarded([&] { WatchdogExpired(s); });
                break;
            case 10:
                // The abort button lives on the progress dialog.
                if (s.Progress.Visible)
                    Guarded([&] { RequestAbort(s); });
                break;
            case 11:
                PushExistAnswer(in);
                break;
            case 12: {
                const int result = kDialogResults[in.Byte() % 4];
                ui.renameAnswers.emplace_back(result, DialogName(in.Byte()));
                break;
            }
            case 13:
                // Bytes that arrive while the next message box is open.
                nested = in.Take(1 + (kind >> 4));
                break;
            case 14:
                // The phone drops everything it had to say.
                phoneOutput.clear();
                break;
            case 15:
                if ((kind >> 4) == 15) {
                    Guarded([&] { ConnectionLost(s, "/dev/ttyUSB0"); });
                    phone.AbortTransfer();
                    phoneOutput.clear();
                }
                break;
        }
    }

    void AfterEvent() {
        // The settings dialog the watchdog asked for: the user starts again (the
        // port reopens and the phone is woken), except at the end, when the input
        // has nothing more to say and the dialog stays open.
        if (ui.restartCount != restarts) {
            restarts = ui.restartCount;
            restartPending = true;
            if (!finalPhase) {
                Guarded([&] { InitialisePhone(s); });
                restartPending = false;
            }
        }
        CheckAll();
    }

    void CheckAll() {
        wire.Check(port.writes);

        const bool waiting = s.CurrentOperation != OperationState::Idle;
        // A reply is awaited only with the watchdog running, so no operation can
        // hang for good.
        CHECK(!waiting || s.Timer1.Enabled,
              "state " + std::to_string(static_cast<int>(s.CurrentOperation)));
        // The window is usable exactly when no reply is awaited. The one exception:
        // the watchdog gave up on the phone and the settings dialog is open; the
        // window then stays as it was until the user starts again.
        if (!restartPending || waiting)
            CHECK(s.MainWindow.Enabled == !waiting,
                  "state " + std::to_string(static_cast<int>(s.CurrentOperation)) +
                      (s.MainWindow.Enabled ? ", window enabled" : ", window disabled"));
        // The progress dialog is shown only while the window is disabled.
        CHECK(!(s.Progress.Visible && s.MainWindow.Enabled && !waiting) || restartPending,
              "progress dialog left open");
    }

    bool Rescued(const std::string& path) const {
        for (const auto& m : ui.messages)
            if (m.message.id == MessageId::RescuedFileKept &&
                m.message.args == std::vector<std::string>{path})
                return true;
        return false;
    }

    void CheckFinal() {
        CHECK(s.CurrentOperation == OperationState::Idle,
              "still waiting: state " + std::to_string(static_cast<int>(s.CurrentOperation)));
        CHECK(!s.Timer1.Enabled);
        CHECK(s.MainWindow.Enabled || restartPending);
        CHECK(!s.LocalFile.IsOpen(), s.LocalFile.Path());
        std::error_code ec;
        std::vector<std::string> downloads, rescued, temporary;
        for (const auto& e : fs::directory_iterator(g.computer, ec)) {
            const std::string name = e.path().filename().string();
            bool seed = name == "sub";
            for (const auto& f : g_local) seed = seed || f.name == name;
            if (!seed)
                downloads.push_back(name);
        }
        for (const auto& e : fs::directory_iterator(g.rescued, ec))
            rescued.push_back(e.path().filename().string());
        for (const auto& e : fs::directory_iterator(g.tmp, ec))
            temporary.push_back(e.path().string());
        for (const auto& name : downloads) g_leftovers.push_back(g.computer + "/" + name);
        for (const auto& name : rescued) g_leftovers.push_back(g.rescued + "/" + name);
        g_leftovers.insert(g_leftovers.end(), temporary.begin(), temporary.end());

        // A download's private temporary file never outlives it.
        for (const auto& name : downloads) CHECK(name.rfind(".orvo-", 0) != 0, name);
        // The rename's temporary file is removed, unless the phone's copy was erased:
        // then it stays in the rescue folder under the file's own name and the user
        // was told so. A temporary name never stays, and nothing is left in $TMPDIR.
        for (const auto& name : rescued) {
            CHECK(name.rfind(".rename-", 0) != 0, "left: " + name);
            CHECK(Rescued(g.rescued + "/" + name), "kept without a word: " + name);
        }
        for (const auto& path : temporary) CHECK(false, "left behind: " + path);
        CHECK(fs::is_directory(g.computer + "/sub"));
    }

  public:
    PhoneEmulator phone;
    std::deque<std::string> phoneOutput;
    FuzzPort port;
    FakeUi ui;
    FakePhonePane pane;
    FakeComputerPane source;
    Session s;
    WireChecker wire;
    std::string nested;
    int nesting = 0;
    int restarts = 0;
    bool restartPending = false;
    bool finalPhase = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeScratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (g.root.empty())
        MakeScratch();
    Input in(data, size);
    {
        Run run;
        run.Execute(in);
    }
    ResetScratch();
    return 0;
}

// Sanitizer defaults for fuzzing (the environment's ASAN_OPTIONS still win): a
// small quarantine keeps freed memory warm between inputs, and shorter allocation
// stacks make each allocation cheaper. Reproduce with ASAN_OPTIONS=malloc_context_size=30
// for full stacks.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=8:malloc_context_size=5";
}
