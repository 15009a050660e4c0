// The standard folders and the caching pass that lists them all after connecting.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "engine/FolderCache.h"
#include "engine/Navigation.h"
#include "engine/ReplyEngine.h"
#include "phonefs/PhoneTree.h"
#include "tests/core/ProtoTestUtil.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

void Feed(TestRig& r, const std::string& bytes) {
    r.s.ReceiveBuffer += bytes;
    ProcessReplies(r.s);
}

std::string ListCommand(char code) {
    return std::string("AT+FSDL=\"") + code + "\"\r\n";
}

// Answers every listing of a pass with "OK" (plus the given entries for a code).
void RunPass(TestRig& r, const std::map<char, std::string>& entries = {}) {
    for (int i = 0; i < 20 && r.s.CurrentOperation == OperationState::Caching; ++i) {
        const std::string& last = r.port.writes.back();
        char code = last[9];
        auto it = entries.find(code);
        Feed(r, (it != entries.end() ? it->second : std::string()) + "OK\r\n");
    }
}

TEST(FolderCacheTest, SeededTreeHasTheFourteenStandardFolders) {
    auto root = SeedStandardFolders();
    EXPECT_EQ(CountFolders(root.get()), 14);
    EXPECT_EQ(root->Name, "DIR_NAME : ");
    EXPECT_EQ(root->Code, ' ');
    EXPECT_EQ(root->Parent, nullptr);
    PhoneNode* images = FindChildFolder("Images", root.get());
    PhoneNode* photos = FindChildFolder("My Photos", images);
    PhoneNode* album2 = FindChildFolder("My Album 2", photos);
    EXPECT_EQ(album2->Name, "My Album 2");
    EXPECT_EQ(album2->Code, '\\');
    EXPECT_EQ(album2->Parent, photos);
    EXPECT_EQ(FindChildFolder("OnOff/Menu Images", images)->Code, 'D');
    EXPECT_EQ(FindChildFolder("java", root.get())->Code, '`');
}

TEST(FolderCacheTest, CollectFoldersNeverQueuesMoreThan32) {
    Session s;
    auto root = std::make_unique<PhoneNode>();
    for (int i = 0; i < 40; ++i) AddChildFolder("f" + std::to_string(i), root.get(), 'a');
    CollectFolders(s, root.get());
    EXPECT_EQ(s.QueuePosition, kFolderQueueSize);
    for (PhoneNode* n : s.FolderQueue) EXPECT_NE(n, nullptr);
    EXPECT_EQ(s.FolderQueue[0]->Name, "f39");  // the last sibling comes first
}

TEST(FolderCacheTest, PassListsTheFourteenFoldersInOrderAndEndsWithTheRootShown) {
    TestRig r;
    r.s.CurrentOperation = OperationState::Idle;
    StartFolderCaching(r.s);
    // Listing needs no staging buffer: it is allocated by the first transfer.
    EXPECT_TRUE(r.s.TransferBuffer.empty());
    EXPECT_EQ(r.s.Timer1.Interval, 10000);
    EXPECT_EQ(WordsUtf8(r.s.Progress.QuickStatus), "Кэширование списка файлов");
    EXPECT_EQ(r.s.Progress.ProgressBar1.Max, 14);
    EXPECT_EQ(r.s.Progress.ProgressBar2.Max, 14);
    EXPECT_TRUE(r.s.Progress.Visible);
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Caching);

    RunPass(r, {{'T', "+FSDL: \"tune.mid\",0,0,0,0,100,\r\n+FSDL: \"empty\",0,0,0,0,0,\r\n"},
                {' ', "+FSDL: \"top.txt\",0,0,0,0,5,\r\n"}});

    const std::string expectedCodes = "QCT\\YV DER  ` ";
    ASSERT_EQ(r.port.writes.size(), 14u);
    for (std::size_t i = 0; i < 14; ++i) EXPECT_EQ(r.port.writes[i], ListCommand(expectedCodes[i]));

    EXPECT_EQ(r.s.CurrentOperation, OperationState::Idle);
    ASSERT_NE(r.s.CurrentFolder, nullptr);
    EXPECT_EQ(r.s.CurrentFolder, r.s.PhoneTree.get());
    EXPECT_FALSE(r.s.Progress.Visible);
    EXPECT_TRUE(r.s.MainWindow.Enabled);
    EXPECT_EQ(r.s.QueuePosition, 0);
    EXPECT_EQ(r.pane.Captions(), (std::vector<std::string>{"Images", "java", "Sounds", "top.txt"}));

    // Each container received the root listing; size-0 entries were dropped.
    PhoneNode* sounds = FindChildFolder("Sounds", r.s.PhoneTree.get());
    EXPECT_TRUE(HasFile(sounds, "top.txt"));
    PhoneNode* mySounds = FindChildFolder("My Sounds", sounds);
    EXPECT_TRUE(HasFile(mySounds, "tune.mid"));
    EXPECT_FALSE(HasFile(mySounds, "empty"));
}

TEST(FolderCacheTest, RescanAtTheRootReplacesTheTreeAndKeepsTheOldOneWhileShown) {
    TestRig r;
    r.s.CurrentOperation = OperationState::Idle;
    StartFolderCaching(r.s);
    RunPass(r);
    PhoneNode* oldRoot = r.s.PhoneTree.get();
    AddFile(oldRoot, "uploaded", 3);

    RereadCurrentFolder(r.s);  // at the root: a whole new pass
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Caching);
    // Busy like every other operation: nothing else may start during the pass.
    EXPECT_FALSE(r.s.MainWindow.Enabled);
    EXPECT_TRUE(r.s.Progress.Visible);
    EXPECT_NE(r.s.PhoneTree.get(), oldRoot);
    EXPECT_EQ(r.s.ShownTree.get(), oldRoot);
    EXPECT_EQ(r.s.CurrentFolder, oldRoot);

    // The phone fails during the pass: CurrentFolder stays on the old, valid tree.
    r.ui.messages.clear();
    Feed(r, "+CME ERROR: 3\r\n");
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].text, "Ошибка кэширования спика файлов\r\n");
    // The error report re-reads the current folder, the root: another pass.
    ASSERT_EQ(r.s.CurrentOperation, OperationState::Caching);
    EXPECT_EQ(r.s.CurrentFolder, oldRoot);
    EXPECT_EQ(r.s.ShownTree.get(), oldRoot);
    EXPECT_TRUE(HasFile(r.s.CurrentFolder, "uploaded"));

    EXPECT_FALSE(r.s.MainWindow.Enabled);
    RunPass(r);
    EXPECT_TRUE(r.s.MainWindow.Enabled);
    EXPECT_EQ(r.s.CurrentFolder, r.s.PhoneTree.get());
    EXPECT_EQ(r.s.ShownTree, nullptr);
    EXPECT_FALSE(HasFile(r.s.CurrentFolder, "uploaded"));
}

TEST(FolderCacheTest, TempFilePlaceIsAPrivateTemplateInTheRescueFolder) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    std::string savedValue = saved ? saved : "";
    setenv("XDG_DATA_HOME", "/var/data/", 1);
    EXPECT_EQ(RescueFolderPath(), "/var/data/orvo-fm/rescued");
    EXPECT_EQ(MakeTempFilePath(), "/var/data/orvo-fm/rescued/.rename-XXXXXX");
    TestRig r;
    r.s.TempFilePath = "/tmp/orvofm-abc123";  // a rename's file: the pass leaves it alone
    StartFolderCaching(r.s);
    EXPECT_EQ(r.s.TempFilePath, "/tmp/orvofm-abc123");
    // A relative value is passed over for the home folder's default.
    setenv("XDG_DATA_HOME", "relative", 1);
    const char* home = std::getenv("HOME");
    const std::string expected =
        (home && home[0] == '/' && std::string(home) != "/" ? std::string(home) : std::string()) +
        "/.local/share/orvo-fm/rescued/.rename-XXXXXX";
    EXPECT_EQ(MakeTempFilePath(), expected);

    // Two renames get two different files.
    prototest::TempDir dir;
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    std::filesystem::create_directories(RescueFolderPath());
    std::string a = MakeTempFilePath(), b = MakeTempFilePath();
    int fa = mkstemp(a.data()), fb = mkstemp(b.data());
    ASSERT_GE(fa, 0);
    ASSERT_GE(fb, 0);
    EXPECT_NE(a, b);
    close(fa);
    close(fb);
    unlink(a.c_str());
    unlink(b.c_str());
    if (saved)
        setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

}  // namespace
