// The whole-phone jobs against the in-process emulator: a backup into a folder of
// the computer (with a counting store in place of the manifest), writing a backup
// back, and what ends such a job early.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/PhoneJobs.h"
#include "engine/ReceiveHandler.h"
#include "phonefs/BackupNames.h"
#include "tests/support/EmulatorLink.h"

using namespace orvo;

namespace {

namespace fs = std::filesystem;

// Keeps what the job records and answers "complete" for the files named.
class CountingStore : public IBackupStore {
  public:
    bool HasComplete(const BackupFile& file) override {
        return complete.count(file.folder + "|" + file.name) > 0;
    }
    bool Record(const BackupFile& file, std::string&) override {
        recorded.push_back(file);
        return true;
    }
    bool Finish(bool all, std::string& error) override {
        finished.push_back(all);
        error = listError;
        return listError.empty();
    }
    std::set<std::string> complete;
    std::string listError;  // the list cannot be written at the end
    std::vector<BackupFile> recorded;
    std::vector<bool> finished;
};

class PhoneJobsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "phonejobs-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    void Connect() {
        StartFolderCaching(rig.s);
        rig.link.Pump();
        ASSERT_TRUE(Ready());
        phone().Commands.clear();
    }
    bool Ready() {
        return rig.s.CurrentOperation == OperationState::Idle && rig.s.MainWindow.Enabled &&
               !rig.s.Progress.Visible;
    }
    // The reads of a file the phone was asked for.
    int Reads(const std::string& name) { return Count("AT+FSFR=-1,\"" + name + "\""); }
    int Count(const std::string& prefix) {
        int n = 0;
        for (const std::string& c : phone().Commands) n += c.rfind(prefix, 0) == 0;
        return n;
    }
    PhoneEmulator& phone() { return rig.phone(); }

    EmulatorRig rig;
    std::string dir;
    std::vector<JobResult> ends;
    JobEnded Collect() {
        return [this](const JobResult& r) { ends.push_back(r); };
    }
};

}  // namespace

TEST(BackupNames, EscapeWhatCannotBeAFileNameAndFindTheArchive) {
    EXPECT_EQ(BackupFileName("ring.mid", false), "ring.mid");
    EXPECT_EQ(BackupFileName("Звонок.mid", false), "Звонок.mid");
    EXPECT_EQ(BackupFileName("a/b%c", false), "a%2Fb%25c");
    EXPECT_EQ(BackupFileName("tab\there", false), "tab%09here");
    EXPECT_EQ(BackupFileName("..", false), "%2E%2E");
    EXPECT_EQ(BackupFileName(".", true), "%2E");
    // At the top, the manifest and the folders keep their names.
    EXPECT_EQ(BackupFileName("manifest.json", true), "%6Danifest.json");
    EXPECT_EQ(BackupFileName("java", true), "%6Aava");
    EXPECT_EQ(BackupFileName("java", false), "java");

    // What FAT, exFAT and Windows refuse is escaped too, so a copy of the backup
    // onto any of them keeps every file.
    EXPECT_EQ(BackupFileName("a<b>c:d\"e\\f|g?h*i", false), "a%3Cb%3Ec%3Ad%22e%5Cf%7Cg%3Fh%2Ai");
    EXPECT_EQ(BackupFileName("name.", false), "name%2E");
    EXPECT_EQ(BackupFileName("name ", false), "name%20");
    EXPECT_EQ(BackupFileName("CON", false), "%43ON");
    EXPECT_EQ(BackupFileName("com1.txt", false), "%63om1.txt");
    EXPECT_EQ(BackupFileName("Lpt9.tar.gz", false), "%4Cpt9.tar.gz");
    EXPECT_EQ(BackupFileName("NUL .x", false), "%4EUL .x");
    EXPECT_EQ(BackupFileName("CONSOLE.txt", false), "CONSOLE.txt");
    EXPECT_EQ(BackupFileName("COM10", false), "COM10");
    EXPECT_EQ(BackupFileName("JAVA", true), "%4AAVA");
    EXPECT_EQ(BackupFileName("Manifest.JSON", true), "%4Danifest.JSON");
    // Names only case tells apart get names apart, whatever order the phone lists.
    EXPECT_EQ(BackupFileNames({"a.jpg", "A.jpg", "Фото.jpg", "b.txt", "фото.jpg", "A.JPG"}, false),
              (std::vector<std::string>{"%61.%6A%70%67", "A.%6A%70%67", "Фото.jpg", "b.txt",
                                        "%D1%84%D0%BE%D1%82%D0%BE.%6A%70%67", "A.JPG"}));
    EXPECT_EQ(BackupFileNames({"java", "Java"}, true),
              (std::vector<std::string>{"%6Aava", "%4Aava"}));

    EXPECT_FALSE(LocalNameProblem("photo 1.jpg"));
    EXPECT_FALSE(LocalNameProblem("50%.mid"));
    for (const char* refused : {"a:b", "x?", "tab\t", "end.", "end ", "aux.mid", "", ".."})
        EXPECT_TRUE(LocalNameProblem(refused)) << refused;
    EXPECT_EQ(LocalNameProblem("a:b").detail, ":");
    EXPECT_EQ(LocalNameProblem("aux.mid").detail, "aux");

    EXPECT_EQ(JarNameOf("MIDlet-Name: G\r\nMIDlet-Jar-URL:  game.jar \r\n"), "game.jar");
    EXPECT_EQ(JarNameOf("MIDlet-Jar-URL: http://example.invalid/a/b/x.jar\n"), "x.jar");
    EXPECT_EQ(JarNameOf("MIDlet-Jar-URL: ../../etc/x.jar"), "x.jar");
    EXPECT_EQ(JarNameOf("MIDlet-Jar-Size: 10\n"), "");
}

// Every standard folder, mirrored; the phone's checksum goes with each file; the
// files the store holds already are not read again; awkward names are escaped.
TEST_F(PhoneJobsTest, BackupReadsWhatTheStoreLacksIntoAMirroredTree) {
    phone().LoadSampleContent();
    phone().PutFile('T', "50%off.mid", "MThd-cent");
    Connect();
    CountingStore store;
    store.complete = {"Images/My Images|picture01.jpg", "java|game_suite.jar"};
    BackupPhone(rig.s, dir, store, Collect());
    rig.link.Pump();

    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(ends[0].Succeeded())
        << (ends[0].messages.empty() ? "" : WordsUtf8(ends[0].messages[0]));
    EXPECT_EQ(store.finished, std::vector<bool>{true});
    EXPECT_TRUE(Ready());
    EXPECT_EQ(Reads("picture01.jpg"), 0);
    EXPECT_EQ(Reads("game_suite.jar"), 0);
    EXPECT_EQ(Reads("picture02.jpg"), 1);
    EXPECT_EQ(Reads("readme.txt"), 1);
    EXPECT_EQ(ends[0].skipped,
              (std::vector<std::string>{"java/game_suite.jar", "Images/My Images/picture01.jpg"}));

    EXPECT_EQ(GetFile(dir + "/Images/OnOff_Menu Images/poweron.gif"),
              phone().FileData('D', "poweron.gif"));
    EXPECT_EQ(GetFile(dir + "/Sounds/My Sounds/Звонок.mid"), phone().FileData('T', "Звонок.mid"));
    EXPECT_EQ(GetFile(dir + "/Sounds/My Sounds/50%25off.mid"), "MThd-cent");
    EXPECT_EQ(GetFile(dir + "/readme.txt"), phone().FileData(' ', "readme.txt"));
    // The containers' lists (the root's files again) are not copied twice.
    EXPECT_FALSE(fs::exists(dir + "/Sounds/readme.txt"));
    EXPECT_FALSE(fs::exists(dir + "/Images/My Images/picture01.jpg"));

    std::map<std::string, BackupFile> byFile;
    for (const BackupFile& f : store.recorded) byFile[f.file] = f;
    const BackupFile& cent = byFile.at("Sounds/My Sounds/50%25off.mid");
    EXPECT_EQ(cent.folder, "Sounds/My Sounds");
    EXPECT_EQ(cent.name, "50%off.mid");
    EXPECT_EQ(cent.size, 9);
    EXPECT_EQ(cent.crc, 0xc14c0b93u);
    EXPECT_EQ(byFile.at("Images/OnOff_Menu Images/poweron.gif").folder, "Images/OnOff/Menu Images");
    EXPECT_EQ(ends[0].done.size(), store.recorded.size());
}

// Names a FAT stick would refuse or fold together get names it takes; a folder of
// the backup that a link has replaced is not written into, and says so.
TEST_F(PhoneJobsTest, BackupNamesSuitAnyComputerAndNeverFollowALinkedFolder) {
    phone().PutFile('R', "A.jpg", "upper");
    phone().PutFile('R', "a.jpg", "lower");
    phone().PutFile('R', "why?.jpg", "question");
    phone().PutFile(' ', "CON.txt", "device");
    phone().PutFile('V', "c.jpg", "camera");
    Connect();
    const std::string elsewhere = dir + "-elsewhere";
    fs::create_directories(elsewhere);
    fs::create_directories(dir + "/Images");
    // Windows may not let a user make links: the names are checked all the same.
    std::error_code noLinks;
    fs::create_directory_symlink(elsewhere, dir + "/Images/My Photos", noLinks);
    CountingStore store;
    BackupPhone(rig.s, dir, store, Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(GetFile(dir + "/Images/My Images/A.jpg"), "upper");
    EXPECT_EQ(GetFile(dir + "/Images/My Images/%61.%6A%70%67"), "lower");
    EXPECT_EQ(GetFile(dir + "/Images/My Images/why%3F.jpg"), "question");
    EXPECT_EQ(GetFile(dir + "/%43ON.txt"), "device");
    std::map<std::string, std::string> names;
    for (const BackupFile& f : store.recorded) names[f.file] = f.name;
    EXPECT_EQ(names.at("Images/My Images/%61.%6A%70%67"), "a.jpg");
    EXPECT_EQ(names.at("%43ON.txt"), "CON.txt");

    EXPECT_TRUE(fs::is_empty(elsewhere));
    fs::remove_all(elsewhere);
    if (noLinks)
        return;
    ASSERT_EQ(ends[0].messages.size(), 1u);
    EXPECT_EQ(ends[0].messages[0].item, "Images/My Photos/Camera");
    EXPECT_NE(WordsUtf8(ends[0].messages[0]).find(dir + "/Images/My Photos "), std::string::npos)
        << WordsUtf8(ends[0].messages[0]);
    EXPECT_EQ(store.finished, std::vector<bool>{false});
}

// A file the phone refuses and one whose checksum fails are listed, the rest goes
// on, and the backup is not complete.
TEST_F(PhoneJobsTest, BackupGoesOnPastFailuresAndIsNotComplete) {
    phone().PutFile('R', "a.bin", "aaa");
    phone().PutFile('R', "b.bin", "bbb");
    phone().PutFile('V', "c.jpg", "ccc");
    Connect();
    phone().Faults.errorCommand = "AT+FSFR=-1,\"a.bin\"";
    phone().Faults.errorCode = PhoneEmulator::kErrorNotFound;
    CountingStore store;
    BackupPhone(rig.s, dir, store, Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 1u);
    ASSERT_EQ(ends[0].messages.size(), 1u);
    EXPECT_EQ(ends[0].messages[0].item, "Images/My Images/a.bin");
    EXPECT_EQ(ends[0].messages[0].kind, MessageKind::PhoneRefused);
    EXPECT_EQ(GetFile(dir + "/Images/My Images/b.bin"), "bbb");
    EXPECT_EQ(GetFile(dir + "/Images/My Photos/Camera/c.jpg"), "ccc");
    EXPECT_EQ(store.finished, std::vector<bool>{false});
    EXPECT_TRUE(Ready());
    // The form showed the refusal once, as it does for any copy.
    EXPECT_EQ(rig.ui.messages.size(), 1u);

    // A list that cannot be written at the end is a failure of the job too.
    phone().Faults.errorCommand.clear();
    store.listError = "manifest.json: No space left on device";
    BackupPhone(rig.s, dir, store, Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_FALSE(ends[1].Succeeded());
    ASSERT_EQ(ends[1].messages.size(), 1u);
    EXPECT_EQ(ends[1].messages[0].kind, MessageKind::LocalFile);
    EXPECT_NE(WordsUtf8(ends[1].messages[0]).find(store.listError), std::string::npos);
}

// The line going ends the job at once, with what it had, and gives the window back.
TEST_F(PhoneJobsTest, ALostLineEndsTheJobAndGivesTheWindowBack) {
    phone().LoadSampleContent();
    Connect();
    CountingStore store;
    BackupPhone(rig.s, dir, store, Collect());
    rig.link.Pump(40);
    ASSERT_TRUE(ends.empty());
    EXPECT_FALSE(rig.s.MainWindow.Enabled);
    ConnectionLost(rig.s, "/dev/ttyUSB0");
    rig.link.pending.clear();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(ends[0].stopped);
    EXPECT_EQ(ends[0].messages.back().kind, MessageKind::LineLost);
    EXPECT_EQ(store.finished, std::vector<bool>{false});
    EXPECT_TRUE(Ready());
}

// Stored names go back as they are: no second "_suite", no melody slot or header,
// no cut; equal files are passed over unless forced; "java" changed means a new
// registry.
TEST_F(PhoneJobsTest, RestoreWritesStoredNamesAsTheyAre) {
    const std::string melody = "MMMD" + std::string(300, 'm');  // bare: no header
    const std::string longName = "a ringtone with a rather long name.mid";
    PutFile(dir + "/j/game_suite.jad", "MIDlet-Jar-URL: game_suite.jar\n");
    PutFile(dir + "/j/game_suite.jar", "PK-archive");
    PutFile(dir + "/m/melody05.mel", melody);
    PutFile(dir + "/m/long.mid", "MThd-long");
    PutFile(dir + "/m/root.txt", "at the root");
    phone().PutFile('T', longName, "MThd-old");  // another size: replaced
    Connect();
    std::vector<RestoreFile> files = {
        {"java", "game_suite.jad", dir + "/j/game_suite.jad", 31, std::nullopt},
        {"java", "game_suite.jar", dir + "/j/game_suite.jar", 10, std::nullopt},
        {"Sounds/Default Sounds", "melody05.mel", dir + "/m/melody05.mel", 304, std::nullopt},
        {"Sounds/My Sounds", longName, dir + "/m/long.mid", 9, std::nullopt},
        {"/", "root.txt", dir + "/m/root.txt", 11, std::nullopt},
        {"Images/My Images", "gone.jpg", dir + "/gone.jpg", 5,
         Message(MessageKind::LocalFile, MessageId::BackupFileMissing, {dir + "/gone.jpg"})},
    };

    RestoreOptions dry;
    dry.dryRun = true;
    RestorePhone(rig.s, files, dry, Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].done.size(), 5u);
    EXPECT_EQ(Count("AT+FSFW"), 0);
    EXPECT_FALSE(phone().Exists('`', "game_suite.jad"));

    RestorePhone(rig.s, files, RestoreOptions(), Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 2u);
    ASSERT_EQ(ends[1].messages.size(), 1u);
    EXPECT_EQ(ends[1].messages[0].item, "Images/My Images/gone.jpg");
    EXPECT_EQ(ends[1].done.size(), 5u);
    EXPECT_EQ(phone().FileData('`', "game_suite.jad"), "MIDlet-Jar-URL: game_suite.jar\n");
    EXPECT_EQ(phone().FileData('`', "game_suite.jar"), "PK-archive");
    EXPECT_FALSE(phone().Exists('`', "game_suite_suite.jar"));
    EXPECT_EQ(phone().FileData('C', "melody05.mel"), melody);
    EXPECT_FALSE(phone().Exists('C', "melody01.mel"));
    EXPECT_EQ(phone().FileData('T', longName), "MThd-long");
    EXPECT_EQ(phone().FileData(' ', "root.txt"), "at the root");
    EXPECT_EQ(phone().FileData('`', "suites.utf"), std::string("\x00\x05game_", 7));
    EXPECT_TRUE(Ready());

    // Again: the phone holds each of them with that size.
    phone().Commands.clear();
    RestorePhone(rig.s, files, RestoreOptions(), Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_EQ(ends[2].skipped.size(), 5u);
    EXPECT_EQ(Count("AT+FSFW"), 0);

    RestoreOptions force;
    force.force = true;
    files.pop_back();
    files.erase(files.begin(), files.begin() + 2);  // no "java" file: no new registry
    RestorePhone(rig.s, files, force, Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 4u);
    EXPECT_TRUE(ends[3].Succeeded());
    EXPECT_EQ(Count("AT+FSFW"), 3);
    EXPECT_EQ(Count("AT+FSFW=\"suites.utf\""), 0);
    EXPECT_EQ(phone().FileData('C', "melody05.mel"), melody);
}

// A crafted list: a file for a folder that takes none is refused by name; one
// computer file under two phone names goes under both; a link is not followed.
TEST_F(PhoneJobsTest, RestoreRefusesContainersAndLinksAndWritesEachName) {
    PutFile(dir + "/b/one.jpg", "same bytes");
    PutFile(dir + "/secret.txt", "not from the phone");
    std::error_code noLinks;  // Windows may not let a user make links
    fs::create_symlink(dir + "/secret.txt", dir + "/b/link.jpg", noLinks);
    Connect();
    const std::vector<RestoreFile> files = {
        {"Images/My Images", "one.jpg", dir + "/b/one.jpg", 10, std::nullopt},
        {"Images/My Images", "two.jpg", dir + "/b/one.jpg", 10, std::nullopt},
        {"Images/My Photos", "x.jpg", dir + "/b/one.jpg", 10, std::nullopt},
        {"Sounds", "y.jpg", dir + "/b/one.jpg", 10, std::nullopt},
        {"Images/My Images", "link.jpg", dir + "/b/link.jpg", 18, std::nullopt},
    };
    RestorePhone(rig.s, files, RestoreOptions(), Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(phone().FileData('R', "one.jpg"), "same bytes");
    EXPECT_EQ(phone().FileData('R', "two.jpg"), "same bytes");
    EXPECT_FALSE(phone().Exists('R', "link.jpg"));
    EXPECT_EQ(Count("AT+FSFW"), 2);
    ASSERT_EQ(ends[0].messages.size(), noLinks ? 2u : 3u);
    EXPECT_EQ(ends[0].messages[0].item, "Images/My Photos/x.jpg");
    EXPECT_EQ(WordsUtf8(ends[0].messages[0]), "Папка Images/My Photos не принимает файлов");
    EXPECT_EQ(ends[0].messages[1].item, "Sounds/y.jpg");
    EXPECT_TRUE(Ready());
    if (noLinks)
        return;
    EXPECT_EQ(ends[0].messages[2].item, "Images/My Images/link.jpg");
    EXPECT_EQ(ends[0].messages[2].kind, MessageKind::Refused);
}

// A batch run to its end: the phone refuses the second erase, which ends the
// button's batch; the runner starts it again with the file left, as a user would.
TEST_F(PhoneJobsTest, AWholeBatchGoesOnPastARefusedFile) {
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) phone().PutFile('R', name, "x");
    Connect();
    phone().Faults.errorCommand = "AT+FSFE=-1,\"b.bin\"";
    WorkList work;
    work.phoneNames = {"a.bin", "b.bin", "c.bin"};
    std::vector<std::string> taken;
    work.onTaken = [&](const std::string& item) { taken.push_back(item); };
    RunWholeBatch(rig.s, "Images/My Images", std::move(work), EraseFiles, Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].done, (std::vector<std::string>{"a.bin", "c.bin"}));
    ASSERT_EQ(ends[0].messages.size(), 1u);
    EXPECT_EQ(ends[0].messages[0].item, "b.bin");
    EXPECT_EQ(taken, (std::vector<std::string>{"a.bin", "b.bin", "c.bin"}));
    EXPECT_EQ(Count("AT+FSFE"), 3);
    EXPECT_TRUE(Ready());
}

// A backup first removes the temporary files a killed program left in it.
TEST_F(PhoneJobsTest, ABackupRemovesTheTemporaryFilesOfAKilledRun) {
    phone().PutFile('R', "a.bin", "aaa");
    Connect();
    fs::create_directories(dir + "/Images/My Images");
    PutFile(dir + "/Images/My Images/.orvo-download-Ab12Cd", "half");
    PutFile(dir + "/Images/My Images/.orvo-other", "mine");
    CountingStore store;
    BackupPhone(rig.s, dir, store, Collect());
    rig.link.Pump();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_FALSE(fs::exists(dir + "/Images/My Images/.orvo-download-Ab12Cd"));
    EXPECT_EQ(GetFile(dir + "/Images/My Images/.orvo-other"), "mine");
    EXPECT_EQ(GetFile(dir + "/Images/My Images/a.bin"), "aaa");
}
