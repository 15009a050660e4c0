// The file operations of the main window, driven end to end against the in-process
// phone emulator: what reaches the phone, what reaches the disk, what the user sees.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "app/PaneSelection.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/Navigation.h"
#include "engine/ReceiveHandler.h"
#include "engine/ReplyEngine.h"
#include "phonefs/CodePage.h"
#include "phonefs/PhoneTree.h"
#include "tests/support/EmulatorLink.h"

using namespace orvo;

namespace {

namespace fs = std::filesystem;

std::string Bytes_(std::size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (auto& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

std::string Ansi(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(Utf8ToAnsi(utf8, out));
    return out;
}

class FileOpsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fileops-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::create_directory(dir + "/tmp");
        if (const char* t = std::getenv("TMPDIR"))
            savedTmp = t, hadTmp = true;
        if (const char* d = std::getenv("XDG_DATA_HOME"))
            savedData = d, hadData = true;
        ::setenv("TMPDIR", (dir + "/tmp").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir + "/tmp/data").c_str(), 1);
        rescue = dir + "/tmp/data/orvo-fm/rescued";
        rig.source.Load(dir);
    }
    void TearDown() override {
        if (hadTmp)
            ::setenv("TMPDIR", savedTmp.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        if (hadData)
            ::setenv("XDG_DATA_HOME", savedData.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(dir);
    }

    // Lists every folder, then shows the one at path under the root.
    void Connect(std::initializer_list<const char*> path) {
        StartFolderCaching(s());
        rig.link.Pump();
        ASSERT_TRUE(Ready());
        PhoneNode* node = s().PhoneTree.get();
        for (const char* name : path) node = FindChildFolder(name, node);
        s().CurrentFolder = node;
        ShowFolder(s(), node);
        s().CurrentOperation = OperationState::Idle;
        phone().Commands.clear();
    }
    void Local(const std::string& name, const std::string& data) {
        PutFile(dir + "/" + name, data);
        rig.source.Load(dir);
    }
    void SelectLocal(std::initializer_list<const char*> names) {
        for (const char* n : names) ASSERT_TRUE(rig.source.Select(n)) << n;
    }
    void SelectPhone(std::initializer_list<std::string> utf8Names) {
        for (const auto& n : utf8Names) ASSERT_TRUE(rig.pane.Select(Ansi(n))) << n;
    }
    bool Ready() {
        return s().CurrentOperation == OperationState::Idle && s().MainWindow.Enabled &&
               !s().Progress.Visible;
    }
    int CountMessages(const std::string& text) {
        int n = 0;
        for (const auto& m : rig.ui.messages) n += m.text.find(text) != std::string::npos;
        return n;
    }
    // The names in the computer folder, sorted.
    std::vector<std::string> LocalNames() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }
    // The files in the temporary folder and the rename's rescue folder.
    std::vector<std::string> TempFiles() {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(dir + "/tmp"))
            if (!e.is_directory())
                out.push_back(e.path());
        return out;
    }
    Session& s() { return rig.s; }
    PhoneEmulator& phone() { return rig.phone(); }

    EmulatorRig rig;
    std::string dir, savedTmp, savedData, rescue;
    bool hadTmp = false, hadData = false;
};

// ---------------------------------------------------------------------------
// Copy to the phone

TEST_F(FileOpsTest, CopyToPhoneSendsEveryFileAndSkipsOnlyTheTooLargeOne) {
    const std::string a = Bytes_(1000, 1), limit = Bytes_(616448, 2), z = Bytes_(512, 3);
    Local("a.bin", a);
    Local("limit.bin", limit);
    Local("over.bin", Bytes_(616449, 4));
    Local("z.bin", z);
    Connect({"Images", "My Images"});
    SelectLocal({"a.bin", "limit.bin", "over.bin", "z.bin"});

    UploadSelectedFiles(s());
    EXPECT_TRUE(s().Progress.Visible);
    EXPECT_FALSE(s().MainWindow.Enabled);
    EXPECT_EQ(WordsUtf8(s().Progress.LongStatus), "Копируем файл 1 из 4");
    rig.link.Pump();

    EXPECT_EQ(phone().FileData('R', "a.bin"), a);
    EXPECT_EQ(phone().FileData('R', "limit.bin"), limit);
    EXPECT_EQ(phone().FileData('R', "z.bin"), z);
    EXPECT_FALSE(phone().Exists('R', "over.bin"));
    EXPECT_EQ(CountMessages("over.bin слишком большой"), 1);
    EXPECT_TRUE(Ready());
    EXPECT_EQ(rig.source.SelCount(), 0);
}

TEST_F(FileOpsTest, CopyToPhoneAppliesTheFolderNamingRules) {
    Local("game.jar", "PK-game");
    Local("GAME.JAR", "PK-GAME");
    Connect({"java"});
    SelectLocal({"game.jar", "GAME.JAR"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('`', "game_suite.jar"), "PK-game");
    EXPECT_EQ(phone().FileData('`', "GAME.JAR"), "PK-GAME");
    EXPECT_FALSE(phone().Exists('`', "game.jar"));

    fs::remove(dir + "/game.jar");
    fs::remove(dir + "/GAME.JAR");
    Local("abcdefghijklmnopqrstuvwxyz.mid", "MThd");
    Connect({"Sounds", "My Sounds"});
    SelectLocal({"abcdefghijklmnopqrstuvwxyz.mid"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('T', "abcdefghijklmnopqrstuvwx.mid"), "MThd");
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, MelodiesTakeTheFirstFreeSlotAndGetTheirHeader) {
    const std::string bare = "MMMD" + Bytes_(200, 5);
    const std::string headed = Bytes_(32, 6) + "MMMD" + Bytes_(100, 7);
    phone().PutFile('C', "melody01.mel", headed);
    phone().PutFile('C', "melody02.mel", headed);
    phone().PutFile('C', "melody04.mel", headed);
    Local("bare.mmf", bare);
    Connect({"Sounds", "Default Sounds"});
    SelectLocal({"bare.mmf"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    std::string header = "melody03.mel" + std::string(1, '\0') + std::string(19, '\xFF');
    EXPECT_EQ(phone().FileData('C', "melody03.mel"), header + bare);
    EXPECT_EQ(s().UploadSize, static_cast<int32_t>(bare.size() + 32));

    for (int i = 3; i <= 9; ++i)
        phone().PutFile('C', "melody0" + std::to_string(i) + ".mel", headed);
    fs::remove(dir + "/bare.mmf");
    Local("headed.mmf", headed);
    Connect({"Sounds", "Default Sounds"});
    SelectLocal({"headed.mmf"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('C', "melody10.mel"), headed);
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, NameConflictAnswers) {
    phone().PutFile('R', "x.txt", "phone");
    Local("x.txt", "local");
    Connect({"Images", "My Images"});

    // OK with a new name: written under it, the phone's file untouched.
    rig.ui.existAnswers.push_back({1, "y.txt"});
    SelectLocal({"x.txt"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "y.txt"), "local");
    EXPECT_EQ(phone().FileData('R', "x.txt"), "phone");

    // Cancel: nothing is written, the batch is over.
    phone().Commands.clear();
    rig.ui.existAnswers.push_back({2, ""});
    SelectLocal({"x.txt"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "x.txt"), "phone");
    EXPECT_EQ(phone().Commands.size(), 1u);  // the change of folder only
    EXPECT_TRUE(Ready());

    // Overwrite: erased first, then written anew.
    phone().Commands.clear();
    rig.ui.existAnswers.push_back({5, ""});
    SelectLocal({"x.txt"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "x.txt"), "local");
    ASSERT_EQ(phone().Commands.size(), 3u);
    EXPECT_EQ(phone().Commands[1], "AT+FSFE=-1,\"x.txt\"");
    EXPECT_TRUE(Ready());
}

// ---------------------------------------------------------------------------
// Copy to the computer

TEST_F(FileOpsTest, DownloadsArriveByteForByte) {
    std::string tricky = Bytes_(1500, 8);
    const std::string frame = "\nOK\r\n+FSFR: 1,2,#OK#\r\n##>\r\n";
    tricky.replace(0, frame.size(), frame);
    tricky.replace(505, frame.size(), frame);
    tricky.replace(tricky.size() - frame.size(), frame.size(), frame);
    const std::string cyr = "Привет, мир!\r\n", big = Bytes_(5000, 9);
    phone().PutFile('R', "tricky.bin", tricky);
    phone().PutFile('R', "Привет.txt", cyr);
    phone().PutFile('R', "big.bin", big);
    PutFile(dir + "/big.bin", "an older copy, replaced");
    Connect({"Images", "My Images"});
    SelectPhone({"tricky.bin", "Привет.txt", "big.bin"});

    DownloadSelectedFiles(s());
    EXPECT_EQ(s().BatchTotal, 3);
    rig.link.Pump();

    EXPECT_EQ(GetFile(dir + "/tricky.bin"), tricky);
    EXPECT_EQ(GetFile(dir + "/Привет.txt"), cyr);
    EXPECT_EQ(GetFile(dir + "/big.bin"), big);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_TRUE(Ready());
    EXPECT_EQ(rig.pane.SelCount(), 0);
    EXPECT_GE(rig.source.refreshCount, 1);
}

TEST_F(FileOpsTest, ChecksumMismatchIsReportedAndTheBatchGoesOn) {
    phone().PutFile('R', "one.bin", Bytes_(700, 10));
    phone().PutFile('R', "two.bin", Bytes_(300, 11));
    phone().Faults.corruptReadCrc = true;
    Connect({"Images", "My Images"});
    SelectPhone({"one.bin", "two.bin"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(CountMessages("CRC Error While Reading File\r\nФайл " + dir + "/two.bin не сохранён"),
              1);
    EXPECT_EQ(CountMessages("CRC Error While Reading File"), 2);
    // A file that failed its check never takes the name, and nothing else is left.
    EXPECT_FALSE(fs::exists(dir + "/one.bin"));
    EXPECT_FALSE(fs::exists(dir + "/two.bin"));
    EXPECT_EQ(LocalNames(), (std::vector<std::string>{"tmp"}));
    EXPECT_TRUE(Ready());
}

// A name the computer refuses (here a folder is in its way; a FAT stick refuses
// "a:b" so) ends that file with its name and the reason; the batch goes on.
TEST_F(FileOpsTest, ANameTheComputerRefusesEndsThatFileOnly) {
    phone().PutFile('R', "taken.bin", "1");
    phone().PutFile('R', "free.bin", "2");
    fs::create_directory(dir + "/taken.bin");
    Connect({"Images", "My Images"});
    SelectPhone({"taken.bin", "free.bin"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text.rfind("Файл " + dir + "/taken.bin не сохранён\r\n", 0), 0u)
        << rig.ui.messages[0].text;
    EXPECT_NE(rig.ui.messages[0].text.find(std::strerror(EISDIR)), std::string::npos);
    EXPECT_EQ(GetFile(dir + "/free.bin"), "2");
    EXPECT_TRUE(fs::is_directory(dir + "/taken.bin"));
    EXPECT_EQ(LocalNames(), (std::vector<std::string>{"free.bin", "taken.bin", "tmp"}));
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, UnwritableDestinationEndsTheBatchKeepingTheSelection) {
    phone().PutFile('R', "one.bin", "1");
    phone().PutFile('R', "two.bin", "2");
    Connect({"Images", "My Images"});
    rig.source.folder = dir + "/no/such/folder";  // fails for root too
    SelectPhone({"one.bin", "two.bin"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Диск только для чтения");
    EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
    EXPECT_EQ(rig.pane.SelCount(), 2);  // neither file was copied
    EXPECT_TRUE(Ready());
    for (const auto& c : phone().Commands) EXPECT_EQ(c.rfind("AT+FSFR", 0), std::string::npos);
}

TEST_F(FileOpsTest, PhoneNamesThatAreNoLocalFileNamesAreRefused) {
    phone().PutFile('R', "..", "dots");
    phone().PutFile('R', "a/b", "slash");
    phone().PutFile('R', "good.bin", "good");
    fs::create_directory(dir + "/inner");
    Connect({"Images", "My Images"});
    rig.source.Load(dir + "/inner");
    SelectPhone({"..", "a/b", "good.bin"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(GetFile(dir + "/inner/good.bin"), "good");
    EXPECT_EQ(rig.ui.messages.size(), 2u);
    for (const auto& m : rig.ui.messages) EXPECT_EQ(m.caption, "Ошибка");
    EXPECT_FALSE(fs::exists(dir + "/inner/a"));
    EXPECT_FALSE(fs::is_regular_file(dir + "/inner/.."));
    for (const auto& c : phone().Commands) EXPECT_NE(c, "AT+FSFR=-1,\"a/b\"");
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, FolderRowsAndUnquotableNamesAreNotDownloaded) {
    phone().PutFile(' ', "root.txt", "root");
    PutFile(dir + "/java", "a local file named like the phone folder");
    Connect({});
    AddFile(s().CurrentFolder, "a\"b", 4);  // a name no command can quote
    ShowFolder(s(), s().CurrentFolder);
    s().CurrentOperation = OperationState::Idle;
    SelectPhone({"java", "a\"b", "root.txt"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(GetFile(dir + "/root.txt"), "root");
    // The folder row neither reaches the phone nor empties the local file.
    EXPECT_EQ(GetFile(dir + "/java"), "a local file named like the phone folder");
    EXPECT_FALSE(fs::exists(dir + "/a\"b"));
    EXPECT_EQ(phone().Commands,
              (std::vector<std::string>{"AT+FSCD=\" \"", "AT+FSFR=-1,\"root.txt\""}));
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
    EXPECT_EQ(rig.pane.SelCount(), 0);
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, AbortStopsAfterTheFileInProgress) {
    for (char c = '1'; c <= '5'; ++c)
        phone().PutFile('R', std::string("f") + c + ".bin", Bytes_(3000, uint32_t(c)));
    Connect({"Images", "My Images"});
    SelectPhone({"f1.bin", "f2.bin", "f3.bin", "f4.bin", "f5.bin"});
    DownloadSelectedFiles(s());
    while (s().CurrentOperation != OperationState::Reading) ASSERT_EQ(rig.link.Pump(1), 1);
    rig.link.Pump(1);  // the first bytes of the file
    RequestAbort(s());
    EXPECT_EQ(WordsUtf8(s().Progress.LongStatus), "Завершение текущей операции");
    rig.link.Pump();
    EXPECT_EQ(GetFile(dir + "/f1.bin"), Bytes_(3000, '1'));
    EXPECT_FALSE(fs::exists(dir + "/f2.bin"));
    EXPECT_EQ(rig.pane.SelCount(), 4);
    EXPECT_FALSE(s().AbortRequested);
    EXPECT_TRUE(Ready());
}

// ---------------------------------------------------------------------------
// Delete

TEST_F(FileOpsTest, DeleteErasesOneFileAfterAnother) {
    for (const char* n : {"a.txt", "b.txt", "c.txt", "keep.txt"}) phone().PutFile('R', n, n);
    Connect({"Images", "My Images"});
    SelectPhone({"a.txt", "b.txt", "c.txt"});
    EraseSelectedFiles(s());
    EXPECT_EQ(WordsUtf8(s().Progress.LongStatus), "Удаляем файлы 1 из 3");
    // Each Erase goes out only once the previous one has been answered.
    std::size_t before = phone().Commands.size();
    while (!rig.link.Quiet()) {
        rig.link.Pump(1);
        EXPECT_LE(phone().Commands.size(), before + 1);
        before = phone().Commands.size();
    }
    std::vector<std::string> expected = {"AT+FSCD=\"R\"", "AT+FSFE=-1,\"a.txt\"",
                                         "AT+FSFE=-1,\"b.txt\"", "AT+FSFE=-1,\"c.txt\""};
    EXPECT_EQ(phone().Commands, expected);
    EXPECT_EQ(phone().FileNames('R'), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(rig.pane.Captions(), std::vector<std::string>{"keep.txt"});
    EXPECT_TRUE(Ready());
}

// ---------------------------------------------------------------------------
// Rename

TEST_F(FileOpsTest, RenameToANewName) {
    const std::string data = Bytes_(1024, 12);
    phone().PutFile('R', "old.bin", data);
    Connect({"Images", "My Images"});
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    EXPECT_EQ(s().Progress.ProgressBar1.Max, 3);
    EXPECT_FALSE(s().MainWindow.Enabled);
    const std::string temp = s().TempFilePath;
    struct stat st {};
    ASSERT_EQ(::stat(temp.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "new.bin"), data);
    EXPECT_FALSE(phone().Exists('R', "old.bin"));
    EXPECT_EQ(rig.pane.Captions(), std::vector<std::string>{"new.bin"});
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(Ready());

    // A second rename gets a file of its own.
    SelectPhone({"new.bin"});
    rig.ui.renameAnswers.push_back({1, "third.bin"});
    RenameSelectedFile(s());
    EXPECT_NE(s().TempFilePath, temp);
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "third.bin"), data);
}

TEST_F(FileOpsTest, RenameOntoAnExistingName) {
    phone().PutFile('R', "a.txt", "AAA");
    phone().PutFile('R', "b.txt", "BBB");
    Connect({"Images", "My Images"});

    // "Перезаписать": the other file is erased before the renamed one.
    SelectPhone({"a.txt"});
    rig.ui.renameAnswers.push_back({1, "b.txt"});
    rig.ui.existAnswers.push_back({5, ""});
    RenameSelectedFile(s());
    rig.link.Pump();
    std::vector<std::string> expected = {"AT+FSCD=\"R\"", "AT+FSFR=-1,\"a.txt\"",
                                         "AT+FSFE=-1,\"b.txt\"", "AT+FSFE=-1,\"a.txt\""};
    ASSERT_GE(phone().Commands.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(phone().Commands.begin(), phone().Commands.begin() + 4),
              expected);
    EXPECT_EQ(phone().Commands[4].rfind("AT+FSFW=-1,\"b.txt\"", 0), 0u);
    EXPECT_EQ(std::count(phone().Commands.begin(), phone().Commands.end(), "AT+FSCD=\"R\""), 1);
    EXPECT_EQ(phone().FileNames('R'), std::vector<std::string>{"b.txt"});
    EXPECT_EQ(phone().FileData('R', "b.txt"), "AAA");
    EXPECT_TRUE(Ready());

    // "Отмена": the file is written back under its old name.
    phone().PutFile('R', "c.txt", "CCC");
    Connect({"Images", "My Images"});
    SelectPhone({"b.txt"});
    rig.ui.renameAnswers.push_back({1, "c.txt"});
    rig.ui.existAnswers.push_back({2, ""});
    RenameSelectedFile(s());
    rig.link.Pump();
    EXPECT_EQ(phone().Commands[2], "AT+FSFE=-1,\"b.txt\"");
    EXPECT_EQ(phone().Commands[3].rfind("AT+FSFW=-1,\"b.txt\"", 0), 0u);
    EXPECT_EQ(phone().FileData('R', "b.txt"), "AAA");
    EXPECT_EQ(phone().FileData('R', "c.txt"), "CCC");
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, RenameDoesNothingForAFolderRowOrTheSameName) {
    phone().PutFile(' ', "root.txt", "r");
    Connect({});
    SelectPhone({"java"});
    rig.ui.renameAnswers.push_back({1, "other"});
    RenameSelectedFile(s());
    EXPECT_EQ(rig.ui.renameAnswers.size(), 1u);  // no dialog shown

    rig.pane.SetSelected(rig.pane.ItemIndex(), false);
    SelectPhone({"root.txt"});
    rig.ui.renameAnswers.front() = {1, "root.txt"};
    RenameSelectedFile(s());
    EXPECT_TRUE(phone().Commands.empty());
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, RenameWithoutATemporaryFileEndsCleanly) {
    phone().PutFile('R', "old.bin", "data");
    Connect({"Images", "My Images"});
    PutFile(dir + "/tmp/plain", "a file where the data folder would go");
    ::setenv("XDG_DATA_HOME", (dir + "/tmp/plain").c_str(), 1);
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    rig.link.Pump();
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
    EXPECT_TRUE(phone().Commands.empty());
    EXPECT_EQ(rig.pane.Captions(), std::vector<std::string>{"old.bin"});
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, RenameOfABadlyReadFileLeavesThePhoneAlone) {
    phone().PutFile('R', "old.bin", "data");
    phone().Faults.corruptReadCrc = true;
    Connect({"Images", "My Images"});
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    rig.link.Pump();
    for (const auto& c : phone().Commands) EXPECT_EQ(c.rfind("AT+FSFE", 0), std::string::npos);
    EXPECT_EQ(phone().FileData('R', "old.bin"), "data");
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, FailedWriteBackKeepsTheBytesAndSaysWhere) {
    const std::string data = Bytes_(2000, 13);
    phone().PutFile('R', "old.bin", data);
    phone().PutFile('R', "other.bin", "other");
    phone().Faults.errorCommand = "AT+FSFW";
    phone().Faults.errorCode = 2007;
    Connect({"Images", "My Images"});
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    const std::string temp = s().TempFilePath;
    rig.link.Pump();

    EXPECT_EQ(temp.rfind(rescue + "/.rename-", 0), 0u);
    EXPECT_EQ(CountMessages("Ошибка записи файла\r\nПамять заполнена"), 1);
    EXPECT_FALSE(phone().Exists('R', "old.bin"));
    NoteRenameRescue(s());  // a no-op when the error path has already told the user
    // The bytes keep the file's own name in the rescue folder, never a temporary one.
    const std::string kept = rescue + "/old.bin";
    EXPECT_EQ(CountMessages("Файл сохранён в " + kept), 1);
    EXPECT_EQ(GetFile(kept), data);
    EXPECT_FALSE(fs::exists(temp));
    // The pane shows what the phone holds.
    EXPECT_EQ(rig.pane.Captions(), std::vector<std::string>{"other.bin"});
    EXPECT_TRUE(Ready());

    // The next rename leaves the rescued file alone.
    phone().Faults.errorCommand.clear();
    SelectPhone({"other.bin"});
    rig.ui.renameAnswers.push_back({1, "renamed.bin"});
    RenameSelectedFile(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "renamed.bin"), "other");
    EXPECT_EQ(GetFile(kept), data);
    EXPECT_EQ(TempFiles(), std::vector<std::string>{kept});

    // A second rescue of a file of that name does not replace the first.
    phone().PutFile('R', "old.bin", "second");
    phone().Faults.errorCommand = "AT+FSFW";
    Connect({"Images", "My Images"});
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    rig.link.Pump();
    EXPECT_EQ(CountMessages("Файл сохранён в " + rescue + "/old (2).bin"), 1);
    EXPECT_EQ(GetFile(rescue + "/old (2).bin"), "second");
    EXPECT_EQ(GetFile(kept), data);
}

TEST_F(FileOpsTest, SilenceDuringTheWriteBackIsEndedAndTheBytesAreFound) {
    const std::string data = Bytes_(900, 14);
    phone().PutFile('R', "old.bin", data);
    Connect({"Images", "My Images"});
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    const std::string temp = s().TempFilePath;
    // The erase of the old file is answered; the write is not.
    while (s().OperationStep != 3) ASSERT_EQ(rig.link.Pump(1), 1);
    phone().Faults.silent = true;
    rig.link.Pump();
    ASSERT_EQ(s().CurrentOperation, OperationState::Writing);
    ASSERT_TRUE(s().Timer1.Enabled);
    WatchdogExpired(s());
    EXPECT_EQ(CountMessages("Телефон не отвечает"), 1);
    EXPECT_TRUE(Ready());
    // The user is told where the file is at the latest when the folder is re-read.
    phone().Faults.silent = false;
    RereadFolder(s());
    rig.link.Pump();
    EXPECT_EQ(CountMessages("Файл сохранён в " + rescue + "/old.bin"), 1);
    EXPECT_EQ(GetFile(rescue + "/old.bin"), data);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, TheTemporaryFileOfABrokenRenameIsRemovedLaterWhateverRanBetween) {
    phone().PutFile('R', "old.bin", "data");
    phone().PutFile('R', "other.bin", "other");
    phone().Faults.errorCommand = "AT+FSFR";  // the rename's read fails: nothing erased
    Connect({"Images", "My Images"});
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "old.bin"), "data");

    // A download runs in between, then the folder is re-read.
    phone().Faults.errorCommand.clear();
    SelectPhone({"other.bin"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(GetFile(dir + "/other.bin"), "other");
    RereadFolder(s());
    rig.link.Pump();
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_EQ(CountMessages("Файл сохранён"), 0);
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, RenameOfAFileTooLargeToAnnounceNeverErasesIt) {
    TestRig t;  // replies are fed by hand here
    t.s.PhoneTree = SeedStandardFolders();
    PhoneNode* folder =
        FindChildFolder("My Images", FindChildFolder("Images", t.s.PhoneTree.get()));
    AddFile(folder, "big.bin", INT32_MAX);
    t.s.CurrentFolder = folder;
    t.s.CurrentOperation = OperationState::Idle;
    ShowFolder(t.s, folder);
    ASSERT_TRUE(t.pane.Select("big.bin"));
    t.ui.renameAnswers.push_back({1, "b.bin"});
    RenameSelectedFile(t.s);
    EXPECT_EQ(t.s.Progress.ProgressBar1.Max, INT32_MAX / 512 + 1);
    const std::string temp = t.s.TempFilePath;
    t.s.ReceiveBuffer = "OK\r\n";  // the change of folder: the read goes out
    ProcessReplies(t.s);
    ASSERT_EQ(t.s.CurrentOperation, OperationState::Reading);

    // The phone delivered more than a Write command can announce (a sparse file
    // stands in for it); the engine ends the read and hands over.
    t.s.CurrentOperation = OperationState::Idle;
    t.s.LocalFile.Close();
    ASSERT_EQ(::truncate(temp.c_str(), int64_t{1} << 31), 0);
    t.s.ExpectedCrc = 0;
    RenameStep(t.s);

    for (const auto& w : t.port.writes) EXPECT_EQ(w.rfind("AT+FSFE", 0), std::string::npos);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_NE(t.ui.messages[0].text.find("слишком большой"), std::string::npos);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(t.port.writes.back(), "AT+FSDL=\"R\"\r\n");  // the folder is read again
}

// ---------------------------------------------------------------------------
// Errors, Java registry, nothing selected

TEST_F(FileOpsTest, FullMemoryDuringAWriteEndsTheBatchAndRereadsTheFolder) {
    Local("a.bin", "aaaa");
    Local("b.bin", "bbbb");
    phone().Faults.errorCommand = "AT+FSFW";
    phone().Faults.errorCode = 2007;
    Connect({"Images", "My Images"});
    SelectLocal({"a.bin", "b.bin"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Ошибка записи файла\r\nПамять заполнена");
    EXPECT_EQ(phone().Commands.back(), "AT+FSDL=\"R\"");
    EXPECT_EQ(rig.source.SelCount(), 1);  // the file not tried stays selected
    EXPECT_TRUE(rig.pane.Captions().empty());
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, CompileJavaWritesTheRegistry) {
    phone().PutFile('`', "game_suite.jad", "jad");
    phone().PutFile('`', "game_suite.jar", "jar");
    phone().PutFile('`', "chess_suite.jad", "jad");
    phone().PutFile('`', "suites.utf", "stale");
    Connect({"java"});
    RebuildJavaRegistry(s());
    EXPECT_EQ(WordsUtf8(s().Progress.LongStatus), "Компилим ЯВУ");
    EXPECT_EQ(WordsUtf8(s().MainWindow.StatusText), "Компилим ЯВУ");
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('`', "suites.utf"), std::string("\x00\x05game_\x00\x06"
                                                               "chess_",
                                                               15));
    EXPECT_EQ(phone().FileData('`', "suitesName.utf"), "Brindlewort");
    EXPECT_TRUE(Ready());
}

// ---------------------------------------------------------------------------
// Nothing is lost, whatever the phone does

// A download that fails, however it fails, leaves the destination folder as it was:
// a file of that name keeps its bytes and no partial or temporary file is left.
TEST_F(FileOpsTest, FailedDownloadLeavesTheFolderAsItWas) {
    const std::string data = Bytes_(3000, 30);
    phone().PutFile('R', "song.bin", data);
    PutFile(dir + "/song.bin", "the user's own bytes");
    Connect({"Images", "My Images"});
    const auto before = LocalNames();
    // Each way a read can fail: what is set up before it starts, what happens then.
    struct Failure {
        const char* what;
        std::function<void()> setUp, fail;
        MessageKind kind;  // what the failure's message reports (Notice: none is shown)
    };
    auto midRead = [&] {
        rig.link.Pump(3);  // the header and the first blocks
        ASSERT_EQ(s().CurrentOperation, OperationState::Reading);
        rig.link.pending.clear();
    };
    const std::vector<Failure> failures = {
        {"phone error", [&] { phone().Faults.errorCommand = "AT+FSFR"; },
         [&] {
             rig.link.Pump();
             phone().Faults.errorCommand.clear();
         },
         MessageKind::PhoneRefused},
        {"watchdog", [] {},
         [&] {
             midRead();
             WatchdogExpired(s());
         },
         MessageKind::NoAnswer},
        {"line lost", [] {},
         [&] {
             midRead();
             ConnectionLost(s(), "/dev/ttyUSB0");
         },
         MessageKind::LineLost},
        {"checksum", [&] { phone().Faults.corruptReadCrc = true; },
         [&] {
             rig.link.Pump();
             phone().Faults.corruptReadCrc = false;
         },
         MessageKind::Checksum},
        {"program closed", [] {},
         [&] {
             midRead();
             s().LocalFile.Close();  // what ending the program does to it
             s().CurrentOperation = OperationState::Idle;
             s().TimerOff();
             s().CloseProgress();
             s().EnableMainWindow(true);
         },
         MessageKind::Notice},
    };
    for (const Failure& f : failures) {
        for (int i = 0; i < rig.pane.Count(); ++i) rig.pane.SetSelected(i, false);
        s().CurrentFolder =
            FindChildFolder("My Images", FindChildFolder("Images", s().PhoneTree.get()));
        ShowFolder(s(), s().CurrentFolder);
        SelectPhone({"song.bin"});
        f.setUp();
        DownloadSelectedFiles(s());
        rig.link.Pump(1);  // the change of folder: the read goes out
        f.fail();
        EXPECT_EQ(LocalNames(), before) << f.what;
        EXPECT_TRUE(GetFile(dir + "/song.bin") == "the user's own bytes") << f.what;
        EXPECT_FALSE(s().LocalFile.IsOpen()) << f.what;
        EXPECT_EQ(s().CurrentOperation, OperationState::Idle) << f.what;
        if (f.kind != MessageKind::Notice) {
            ASSERT_FALSE(rig.ui.messages.empty()) << f.what;
            EXPECT_EQ(rig.ui.messages.back().kind, f.kind) << f.what;
        }
    }
    EXPECT_EQ(
        CountMessages("CRC Error While Reading File\r\nФайл " + dir + "/song.bin не сохранён"), 1);

    // A successful download still replaces it, keeping its permissions.
    ::chmod((dir + "/song.bin").c_str(), 0640);
    for (int i = 0; i < rig.pane.Count(); ++i) rig.pane.SetSelected(i, false);
    SelectPhone({"song.bin"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_TRUE(GetFile(dir + "/song.bin") == data);
    struct stat st {};
    ASSERT_EQ(::stat((dir + "/song.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(LocalNames(), before);
}

// A phone that prompts more often than it should: every Write carries exactly the
// bytes it announced, and each step of the registry rebuild waits for its reply.
TEST_F(FileOpsTest, ExtraPromptsNeverSendMoreThanAnnounced) {
    phone().Faults.doublePrompt = true;
    phone().Faults.strayPrompt = true;
    phone().PutFile('`', "game_suite.jad", "jad");
    phone().PutFile('`', "suites.utf", "stale");
    phone().PutFile('`', "suitesName.utf", "stale");
    Connect({"java"});
    RebuildJavaRegistry(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('`', "suites.utf"), std::string("\x00\x05game_", 7));
    EXPECT_EQ(phone().FileData('`', "suitesName.utf"), "Brindlewort");
    const std::string& wire = rig.link.sent;
    EXPECT_EQ(wire.find("Brindlewort"), wire.rfind("Brindlewort"));
    EXPECT_EQ(CountMessages(""), 0);
    EXPECT_TRUE(Ready());

    // An upload over an existing name and a rename write-back under the same faults.
    const std::string big = Bytes_(1300, 31);
    Local("b.bin", big);
    phone().PutFile('R', "b.bin", "old");
    phone().PutFile('R', "r.bin", Bytes_(700, 32));
    Connect({"Images", "My Images"});
    SelectLocal({"b.bin"});
    rig.ui.existAnswers.push_back({5, ""});
    UploadSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "b.bin"), big);
    SelectPhone({"r.bin"});
    rig.ui.renameAnswers.push_back({1, "s.bin"});
    RenameSelectedFile(s());
    rig.link.Pump();
    EXPECT_EQ(phone().FileData('R', "s.bin"), Bytes_(700, 32));
    EXPECT_EQ(CountMessages(""), 0);
    EXPECT_TRUE(Ready());
}

// The question about an existing file is asked about the name the file will have
// on the phone; after an overwrite the pane shows the new size.
TEST_F(FileOpsTest, NameCheckUsesThePhoneName) {
    phone().PutFile('`', "game_suite.jar", "old");
    const std::string longName = "a very long ringtone name for my phone.mid";  // 42 bytes
    phone().PutFile('T', "a very long ringtone nam.mid", "old");
    Local("game.jar", "new jar");
    Local(longName, "new melody");
    Connect({"java"});
    SelectLocal({"game.jar"});
    rig.ui.existAnswers.push_back({5, ""});
    UploadSelectedFiles(s());
    rig.link.Pump();
    ASSERT_EQ(rig.ui.existShown.size(), 1u);
    EXPECT_EQ(rig.ui.existShown[0].first, "game_suite.jar");
    EXPECT_EQ(phone().FileData('`', "game_suite.jar"), "new jar");
    const int row = [&] {
        for (int i = 0; i < rig.pane.Count(); ++i)
            if (rig.pane.Caption(i) == "game_suite.jar")
                return i;
        return -1;
    }();
    ASSERT_GE(row, 0);
    EXPECT_EQ(rig.pane.SizeText(row), "7");

    Connect({"Sounds", "My Sounds"});
    SelectLocal({longName.c_str()});
    rig.ui.existAnswers.push_back({2, ""});  // "Отмена": the phone's file stays
    UploadSelectedFiles(s());
    rig.link.Pump();
    ASSERT_EQ(rig.ui.existShown.size(), 2u);
    EXPECT_EQ(rig.ui.existShown[1].first, "a very long ringtone nam.mid");
    EXPECT_EQ(phone().FileData('T', "a very long ringtone nam.mid"), "old");
    EXPECT_TRUE(Ready());
}

TEST_F(FileOpsTest, DeletePassesOverFolderRows) {
    phone().PutFile(' ', "root.txt", "r");
    Connect({});
    SelectPhone({"java", "root.txt", "Sounds"});
    EraseSelectedFiles(s());
    rig.link.Pump();
    EXPECT_EQ(phone().Commands,
              (std::vector<std::string>{"AT+FSCD=\" \"", "AT+FSFE=-1,\"root.txt\""}));
    EXPECT_FALSE(phone().Exists(' ', "root.txt"));
    EXPECT_EQ(CountMessages(""), 0);
    EXPECT_TRUE(Ready());
}

// A rename that breaks off before the phone's copy was erased shows the file
// under its old name again.
TEST_F(FileOpsTest, RenameThatFailsBeforeTheEraseShowsTheOldName) {
    phone().PutFile('R', "old.bin", Bytes_(900, 33));
    Connect({"Images", "My Images"});
    SelectPhone({"old.bin"});
    rig.ui.renameAnswers.push_back({1, "new.bin"});
    RenameSelectedFile(s());
    rig.link.Pump(2);  // the change of folder and the read's header
    rig.link.pending.clear();
    ASSERT_EQ(s().CurrentOperation, OperationState::Reading);
    WatchdogExpired(s());
    EXPECT_EQ(rig.pane.Captions(), std::vector<std::string>{"old.bin"});
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(Ready());
}

// The line goes while a question or message of a flow is open (its nested event
// loop delivers the hang-up): the flow stops there and sends nothing more.
TEST_F(FileOpsTest, LineLostInsideADialogEndsTheFlow) {
    phone().PutFile('R', "a.bin", "phone a");
    phone().PutFile('R', "b.bin", Bytes_(600, 40));
    phone().PutFile('R', "c.bin", Bytes_(600, 41));
    Local("a.bin", "computer a");
    Connect({"Images", "My Images"});
    auto lose = [&] { ConnectionLost(s(), "/dev/ttyUSB0"); };
    auto sentSince = [&](std::size_t mark) { return rig.link.sent.substr(mark); };

    // The file-exists question of an upload, answered "Перезаписать" after the loss.
    rig.ui.onDialog = lose;
    rig.ui.existAnswers.push_back({5, ""});
    SelectLocal({"a.bin"});
    UploadSelectedFiles(s());
    rig.link.Pump(1);  // the change of folder: the question comes up
    std::size_t mark = rig.link.sent.size();
    rig.link.Pump();
    EXPECT_EQ(sentSince(mark), "");

    // The rename dialog.
    rig.ui.renameAnswers.push_back({1, "z.bin"});
    SelectPhone({"b.bin"});
    mark = rig.link.sent.size();
    RenameSelectedFile(s());
    EXPECT_EQ(sentSince(mark), "");
    EXPECT_TRUE(TempFiles().empty());
    rig.ui.onDialog = nullptr;

    // The checksum message of the first of two downloads.
    phone().Faults.corruptReadCrc = true;
    rig.ui.onMessage = [&] {
        if (s().LinkEpoch == 2)
            lose();
    };
    for (int i = 0; i < rig.pane.Count(); ++i) rig.pane.SetSelected(i, false);
    SelectPhone({"b.bin", "c.bin"});
    DownloadSelectedFiles(s());
    mark = rig.link.sent.size();
    rig.link.Pump();
    const std::string reads = sentSince(mark);
    EXPECT_NE(reads.find("AT+FSFR=-1,\"b.bin\""), std::string::npos);
    EXPECT_EQ(reads.find("c.bin"), std::string::npos);  // the second file is never asked for
    EXPECT_EQ(s().LinkEpoch, 3u);
    EXPECT_EQ(phone().FileData('R', "a.bin"), "phone a");
    EXPECT_TRUE(phone().Exists('R', "b.bin"));
    EXPECT_EQ(rig.ui.restartCount, 3);
    EXPECT_TRUE(Ready());
}

// The jobs work on their work lists alone: no pane is there to read or write, and
// whoever started a job hears of each item taken and given back, and the end.
TEST_F(FileOpsTest, JobsNeedNoPane) {
    phone().PutFile('R', "a.bin", Bytes_(700, 50));
    phone().PutFile('R', "b.bin", "bee");
    Local("up.bin", Bytes_(900, 51));
    Connect({"Images", "My Images"});
    s().PhonePane = nullptr;
    s().Source = nullptr;
    std::vector<std::string> heard;
    auto listen = [&](WorkList& work) {
        work.onTaken = [&](const std::string& item) { heard.push_back("taken " + item); };
        work.onGivenBack = [&](const std::string& item) { heard.push_back("back " + item); };
        work.onEnded = [&](const JobResult&) { heard.push_back("end"); };
    };

    WorkList down;
    down.phoneNames = {"a.bin", "b.bin"};
    down.localFolder = dir + "/in";
    fs::create_directory(dir + "/in");
    listen(down);
    DownloadFiles(s(), std::move(down));
    rig.link.Pump();
    EXPECT_TRUE(GetFile(dir + "/in/a.bin") == Bytes_(700, 50));
    EXPECT_EQ(GetFile(dir + "/in/b.bin"), "bee");
    EXPECT_EQ(heard, (std::vector<std::string>{"taken a.bin", "taken b.bin", "end"}));

    heard.clear();
    WorkList up;
    up.localPaths = {dir + "/up.bin"};
    listen(up);
    UploadFiles(s(), std::move(up));
    rig.link.Pump();
    EXPECT_TRUE(phone().FileData('R', "up.bin") == Bytes_(900, 51));
    EXPECT_EQ(heard, (std::vector<std::string>{"taken " + dir + "/up.bin", "end"}));

    heard.clear();
    WorkList gone;
    gone.phoneNames = {"b.bin"};
    listen(gone);
    EraseFiles(s(), std::move(gone));
    rig.link.Pump();
    EXPECT_FALSE(phone().Exists('R', "b.bin"));
    EXPECT_EQ(heard, (std::vector<std::string>{"taken b.bin", "end"}));

    // A download that cannot write gives its file back, the rest stays undone.
    heard.clear();
    WorkList stuck;
    stuck.phoneNames = {"a.bin", "up.bin"};
    stuck.localFolder = dir + "/missing";
    listen(stuck);
    DownloadFiles(s(), std::move(stuck));
    rig.link.Pump();
    EXPECT_EQ(heard, (std::vector<std::string>{"taken a.bin", "back a.bin", "end"}));
    EXPECT_EQ(CountMessages("Диск только для чтения"), 1);
    EXPECT_TRUE(Ready());
}

// A batch reports its progress in bytes: of the file in hand and of the whole
// batch, whose total is known when it starts.
TEST_F(FileOpsTest, TransfersReportTheirBytes) {
    struct Sink : IProgressSink {
        std::vector<TransferProgress> seen;
        void TransferProgressed(const TransferProgress& p) override { seen.push_back(p); }
    } sink;
    s().ProgressSink = &sink;
    phone().PutFile('R', "a.bin", Bytes_(1300, 60));
    phone().PutFile('R', "b.bin", Bytes_(200, 61));
    Local("c.bin", Bytes_(700, 62));
    Connect({"Images", "My Images"});
    auto check = [&](int64_t batch, const std::string& lastFile, int64_t lastSize) {
        ASSERT_FALSE(sink.seen.empty());
        int64_t done = 0;
        for (const TransferProgress& p : sink.seen) {
            EXPECT_GE(p.batchDone, done);  // never backwards
            EXPECT_LE(p.fileDone, p.fileTotal);
            EXPECT_EQ(p.batchTotal, batch);
            done = p.batchDone;
        }
        EXPECT_EQ(sink.seen.back().batchDone, batch);
        EXPECT_EQ(sink.seen.back().file, lastFile);
        EXPECT_EQ(sink.seen.back().fileDone, lastSize);
        EXPECT_EQ(sink.seen.back().fileTotal, lastSize);
        sink.seen.clear();
    };
    SelectPhone({"a.bin", "b.bin"});
    DownloadSelectedFiles(s());
    rig.link.Pump();
    check(1500, "b.bin", 200);
    SelectLocal({"c.bin"});
    UploadSelectedFiles(s());
    rig.link.Pump();
    check(700, "c.bin", 700);
}

TEST_F(FileOpsTest, BatchesWithNothingSelectedOnlyChangeFolder) {
    phone().PutFile('R', "a.txt", "a");
    Connect({"Images", "My Images"});
    for (auto start : {DownloadSelectedFiles, EraseSelectedFiles, UploadSelectedFiles}) {
        phone().Commands.clear();
        start(s());
        EXPECT_TRUE(s().Progress.Visible);
        rig.link.Pump();
        EXPECT_EQ(phone().Commands, std::vector<std::string>{"AT+FSCD=\"R\""});
        EXPECT_TRUE(s().MainWindow.Enabled);
        EXPECT_FALSE(s().Progress.Visible);
    }
}

}  // namespace

// A job ends once, with its failures in order: the item in hand, what it reports
// and the text the form shows; the message boxes are shown as before.
TEST_F(FileOpsTest, AJobEndsWithItsFailuresInOrder) {
    phone().PutFile('R', "a.bin", Bytes_(700, 60));
    phone().PutFile('R', "b.bin", Bytes_(900, 61));
    phone().PutFile('R', "c.bin", Bytes_(300, 62));
    Connect({"Images", "My Images"});
    fs::create_directory(dir + "/in");
    std::vector<JobResult> ends;
    auto start = [&](std::deque<Bytes> names) {
        WorkList work;
        work.phoneNames = std::move(names);
        work.localFolder = dir + "/in";
        work.onEnded = [&](const JobResult& r) { ends.push_back(r); };
        DownloadFiles(s(), std::move(work));
        rig.link.Pump();
    };

    start({"a.bin", "b.bin"});
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(ends[0].Succeeded());
    EXPECT_TRUE(ends[0].messages.empty());

    // The phone refuses the second read: the job ends there, once, with it.
    phone().Faults.errorCommand = "AT+FSFR";
    phone().Faults.errorCode = PhoneEmulator::kErrorNotFound;
    phone().Faults.errorCountdown = 1;
    ends.clear();
    start({"c.bin", "a.bin", "b.bin"});
    ASSERT_EQ(ends.size(), 1u);
    ASSERT_EQ(ends[0].messages.size(), 1u);
    EXPECT_FALSE(ends[0].Succeeded());
    EXPECT_EQ(ends[0].messages[0].item, "a.bin");
    EXPECT_EQ(ends[0].messages[0].kind, MessageKind::PhoneRefused);
    EXPECT_EQ(WordsUtf8(ends[0].messages[0]), "Ошибка чтения файла\r\nФайл не найден");
    EXPECT_EQ(CountMessages("Ошибка чтения файла\r\nФайл не найден"), 1);
    EXPECT_TRUE(Ready());

    // A checksum mismatch and a name the computer cannot take: the rest goes on.
    phone().Faults = EmulatorFaults();
    phone().Faults.corruptReadCrc = true;
    phone().PutFile('R', "x/y.bin", "slash");
    StartFolderCaching(s());
    rig.link.Pump();
    s().CurrentFolder =
        FindChildFolder("My Images", FindChildFolder("Images", s().PhoneTree.get()));
    ends.clear();
    start({"x/y.bin", "c.bin"});
    ASSERT_EQ(ends.size(), 1u);
    ASSERT_EQ(ends[0].messages.size(), 2u);
    EXPECT_EQ(ends[0].messages[0].item, "x/y.bin");
    EXPECT_EQ(ends[0].messages[0].kind, MessageKind::Refused);
    EXPECT_EQ(ends[0].messages[1].item, "c.bin");
    EXPECT_EQ(ends[0].messages[1].kind, MessageKind::Checksum);
    EXPECT_EQ(WordsUtf8(ends[0].messages[1]),
              "CRC Error While Reading File\r\nФайл " + dir + "/in/c.bin не сохранён");
}
