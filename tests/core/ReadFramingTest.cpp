// How a read's blocks are framed: the learned length, the fall-back to the quiet
// gap, the checksum's second chance. The link below plays the serial component's
// reader over the in-process emulator: the phone's bytes arrive in pieces, and after
// each piece whatever the framing the session set declares complete goes to the
// engine at once; the rest goes when the phone has nothing more to say (the quiet gap).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/PaneSelection.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/Navigation.h"
#include "engine/ReceiveHandler.h"
#include "phonefs/PhoneTree.h"
#include "protocol/Framing.h"
#include "tests/support/Fakes.h"
#include "tools/emulator/PhoneEmulator.h"

using namespace orvo;

namespace {

namespace fs = std::filesystem;

class FramingLink : public IPort {
  public:
    explicit FramingLink(Session& s) : s_(s) {
        phone.Output = [this](const std::string& chunk) { line_ += chunk; };
    }
    bool Write(const void* data, uint16_t length) override {
        const std::string bytes(static_cast<const char*>(data), length);
        if (bytes.rfind("AT+FSFR", 0) == 0 || bytes == "##>\r\n")
            framingAtWrite.push_back({bytes.substr(0, 3), framing_});
        phone.Receive(data, length);
        return true;
    }
    void Close() override {}
    bool SetReplyFraming(ReplyFraming framing) override {
        framing_ = framing;
        return true;
    }

    // Forgets what went over the line so far.
    void Restart() {
        chunks.clear();
        framingAtWrite.clear();
        seen_ = 0;
    }

    // Runs the line until the phone falls silent for good.
    void Pump() {
        while (!line_.empty() || !held_.empty()) {
            if (line_.empty()) {
                Deliver(held_.size(), false);  // the quiet gap
                continue;
            }
            const std::size_t n = std::min(piece, line_.size());
            held_ += line_.substr(0, n);
            line_.erase(0, n);
            const std::size_t ready = FramedReplyEnd(
                framing_, reinterpret_cast<const uint8_t*>(held_.data()), held_.size());
            if (ready > 0)
                Deliver(ready, true);
        }
    }

    struct Chunk {
        std::string bytes;
        bool early;  // before the quiet gap
    };
    PhoneEmulator phone;
    std::size_t piece = 64;     // bytes per read from the line
    long flipByteAt = -1;       // line noise: this byte of the read's output changes once
    std::vector<Chunk> chunks;  // as handed to the engine
    // "AT+" or "##>" with the framing in force when it was written.
    std::vector<std::pair<std::string, ReplyFraming>> framingAtWrite;

  private:
    void Deliver(std::size_t n, bool early) {
        std::string bytes = held_.substr(0, n);
        held_.erase(0, n);
        if (flipByteAt >= 0 && static_cast<std::size_t>(flipByteAt) < seen_ + n) {
            bytes[static_cast<std::size_t>(flipByteAt) - seen_] ^= 0x20;
            flipByteAt = -1;
        }
        seen_ += n;
        chunks.push_back({bytes, early});
        ReceiveChunk(s_, reinterpret_cast<const uint8_t*>(bytes.data()),
                     static_cast<uint16_t>(bytes.size()));
    }

    Session& s_;
    ReplyFraming framing_ = ReplyFraming::QuietGap;
    std::string line_;  // sent by the phone, not yet read
    std::string held_;  // read, not yet handed over
    std::size_t seen_ = 0;
};

// File bytes that spell the phone's replies and the marker, placed so that with the
// usual read sizes some of them straddle a read's edge, and the marker's answer and
// "\r\n" end blocks of their own.
std::string TrickyData(std::size_t size) {
    std::string data;
    const char* words[] = {"#OK#", "OK\r\n", "\r\n", "\r\n#OK#", "##>\r\n", "+FSFR: 3,9,", "#O"};
    for (std::size_t i = 0; data.size() < size; ++i) {
        data += static_cast<char>('a' + i % 26);
        data += words[i % 7];
    }
    data.resize(size);
    // The end of every 512-byte block looks like the end of a data line.
    for (std::size_t end = 512; end <= size; end += 512) data.replace(end - 6, 6, "\r\n#OK#");
    return data;
}

class ReadFraming : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "readframing-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        s.Port = &link;
        s.Ui = &ui;
        s.PhonePane = &pane;
        s.Source = &source;
        source.Load(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Downloads file.bin of the given bytes from "Images/My Images" into dir.
    void Download(const std::string& data) {
        link.phone.PutFile('R', "file.bin", data);
        StartFolderCaching(s);
        link.Pump();
        PhoneNode* node =
            FindChildFolder("My Images", FindChildFolder("Images", s.PhoneTree.get()));
        ASSERT_NE(node, nullptr);
        s.CurrentFolder = node;
        ShowFolder(s, node);
        s.CurrentOperation = OperationState::Idle;
        link.Restart();
        ASSERT_TRUE(pane.Select("file.bin"));
        DownloadSelectedFiles(s);
        link.Pump();
        EXPECT_EQ(s.CurrentOperation, OperationState::Idle);
    }
    std::string Saved() {
        std::ifstream in(dir + "/file.bin", std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    // The chunks of the read, from its header on (a change of folder comes first).
    std::vector<FramingLink::Chunk> ReadChunks() {
        auto at = link.chunks.begin();
        while (at != link.chunks.end() && at->bytes.rfind("+FSFR: 0,", 0) != 0) ++at;
        return {at, link.chunks.end()};
    }
    // The framing in force at each "##>" answer, in order.
    std::vector<ReplyFraming> AnswerFramings() {
        std::vector<ReplyFraming> out;
        for (const auto& [what, framing] : link.framingAtWrite)
            if (what == "##>")
                out.push_back(framing);
        return out;
    }
    int Reads() {
        int n = 0;
        for (const auto& [what, framing] : link.framingAtWrite) n += what == "AT+";
        return n;
    }

    // Counts how often the window is told to draw the progress, and what it last saw.
    struct CountingUi : FakeUi {
        explicit CountingUi(Session& s) : s_(s) {}
        void ProgressChanged() override {
            ++progressChanges;
            lastBar1 = s_.Progress.ProgressBar1.Position;
        }
        int progressChanges = 0;
        int lastBar1 = -1;
        Session& s_;
    };

    std::string dir;
    Session s;
    FramingLink link{s};
    CountingUi ui{s};
    FakePhonePane pane;
    FakeComputerPane source;
};

constexpr ReplyFraming kGap = ReplyFraming::QuietGap;
constexpr ReplyFraming kLength = ReplyFraming::ReadBlocks;

// A phone whose second field is the length: the first block ends by the quiet gap,
// every later one (and the final "OK") as soon as it is in, whatever the file bytes
// spell and wherever the line's reads cut them.
TEST_F(ReadFraming, AgreeingLengthsFrameTheFollowingBlocks) {
    const std::string data = TrickyData(3 * 512 + 100);
    for (std::size_t piece : {1u, 5u, 64u, 511u, 4096u}) {
        SCOPED_TRACE(piece);
        link.piece = piece;
        fs::remove(dir + "/file.bin");
        Download(data);
        EXPECT_TRUE(Saved() == data);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(Reads(), 1);
        EXPECT_EQ(AnswerFramings(),
                  (std::vector<ReplyFraming>{kLength, kLength, kLength, kLength}));
        const auto chunks = ReadChunks();
        ASSERT_EQ(chunks.size(), 5u);   // header and block 1, blocks 2 to 4, "OK"
        EXPECT_FALSE(chunks[0].early);  // header and first block
        for (std::size_t i = 1; i < chunks.size(); ++i) EXPECT_TRUE(chunks[i].early) << i;
    }
}

// A phone whose second field is not the length from the first block on: every block
// ends by the quiet gap and the file arrives intact.
TEST_F(ReadFraming, DisagreeingFirstBlockKeepsTheQuietGap) {
    link.phone.Faults.sizeFieldFrom = 1;
    const std::string data = TrickyData(3 * 512 + 100);
    for (std::size_t piece : {1u, 7u, 4096u}) {
        SCOPED_TRACE(piece);
        link.piece = piece;
        fs::remove(dir + "/file.bin");
        Download(data);
        EXPECT_TRUE(Saved() == data);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(AnswerFramings(), std::vector<ReplyFraming>(4, kGap));
        const auto chunks = ReadChunks();
        EXPECT_EQ(chunks.size(), 5u);
        for (const auto& c : chunks) EXPECT_FALSE(c.early);
    }
}

// The second field stops being the length at the third block: that block waits for
// the quiet gap, and so does the rest of the read.
TEST_F(ReadFraming, DisagreementInTheMiddleSendsTheRestToTheQuietGap) {
    link.phone.Faults.sizeFieldFrom = 3;
    const std::string data = TrickyData(4 * 512 + 1);
    for (std::size_t piece : {3u, 64u, 4096u}) {
        SCOPED_TRACE(piece);
        link.piece = piece;
        fs::remove(dir + "/file.bin");
        Download(data);
        EXPECT_TRUE(Saved() == data);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(AnswerFramings(),
                  (std::vector<ReplyFraming>{kLength, kLength, kGap, kGap, kGap}));
        const auto chunks = ReadChunks();
        ASSERT_EQ(chunks.size(), 6u);  // header and block 1, blocks 2 to 5, "OK"
        EXPECT_FALSE(chunks[0].early);
        EXPECT_TRUE(chunks[1].early);
        for (std::size_t i = 2; i < 6; ++i) EXPECT_FALSE(chunks[i].early) << i;
    }
}

// Line noise in a block framed by its length spoils the checksum: the file is read
// once more, by the quiet gap only, and arrives intact without a word to the user.
TEST_F(ReadFraming, ChecksumMismatchAfterLengthFramingReadsOnceMoreByTheGap) {
    const std::string data = TrickyData(3 * 512 + 100);
    link.flipByteAt = 700;  // inside the second block
    Download(data);
    EXPECT_TRUE(Saved() == data);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Reads(), 2);
    EXPECT_EQ(AnswerFramings(), (std::vector<ReplyFraming>{kLength, kLength, kLength, kLength, kGap,
                                                           kGap, kGap, kGap}));
    EXPECT_EQ(s.Transfer.fileDone, static_cast<int64_t>(data.size()));
}

// A mismatch that stays: after the one slow re-read the error is reported as ever
// and nothing is saved; a read that used the quiet gap alone is never read twice.
TEST_F(ReadFraming, MismatchThatStaysIsReportedAfterOneReread) {
    link.phone.Faults.corruptReadCrc = true;
    Download(TrickyData(2 * 512 + 10));
    EXPECT_EQ(Reads(), 2);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("CRC Error While Reading File"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir + "/file.bin"));

    ui.messages.clear();
    link.phone.Faults.sizeFieldFrom = 1;
    Download(TrickyData(2 * 512 + 10));
    EXPECT_EQ(Reads(), 1);
    EXPECT_EQ(ui.messages.size(), 1u);
}

// Blocks come much faster than anyone reads a progress bar: the window hears of the
// steps a few times a second, yet always of where the transfer ended.
TEST_F(ReadFraming, ProgressReachesTheWindowAtMostTenTimesASecond) {
    link.piece = 4096;
    const std::string data = TrickyData(100 * 512);
    ui.progressChanges = 0;
    const auto start = std::chrono::steady_clock::now();
    Download(data);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(Saved() == data);
    // The operation's own changes (start, folder, file, end) and ten steps a second.
    EXPECT_LE(ui.progressChanges, 12 + static_cast<int>(seconds * 10));
    EXPECT_EQ(ui.lastBar1, 0);
    EXPECT_FALSE(s.Progress.Visible);
}

}  // namespace
