// The file operations end to end: the main window's buttons, the real serial
// component and the phone-emulator program on a pseudo-terminal. What the phone
// holds afterwards comes from the emulator's --save folder, the bytes on the wire
// from the recording port and the emulator's transcript.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <csignal>
#include <iostream>
#include <map>
#include <set>

#include "phonefs/PhoneTree.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ComputerPane.h"
#include "ui/DragData.h"
#include "ui/ProcessForm.h"

using namespace orvo;

namespace {

// Repeatable bytes of every value.
std::string Filler(std::size_t size, uint32_t seed) {
    std::string data(size, '\0');
    uint32_t x = seed * 2654435761u + 7;
    for (char& c : data) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

// Filler with text put in at the given offsets.
std::string WithTextAt(std::string data, const std::string& text,
                       std::initializer_list<std::size_t> offsets) {
    for (std::size_t at : offsets) data.replace(at, text.size(), text);
    return data;
}

// Runs the event loop until cond holds or ms have passed, handling each event as
// it comes (a transfer is many short exchanges; a fixed nap between looks adds up).
bool PumpUntil(const std::function<bool()>& cond, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(5);  // wakes the wait below at least this often
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

bool WriteAll(const std::string& path, const std::string& data) {
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(data.data(), qint64(data.size())) == qint64(data.size());
}

std::string ReadAll(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll().toStdString();
}

// The 32 bytes the program puts ahead of a melody stored under slot.
std::string MelodyHeader(const std::string& slot) {
    return slot + std::string(1, '\0') + std::string(19, '\xFF');
}

// One side's turn in the conversation: the chunks one side sent in a row.
struct Turn {
    char side;  // 'H' the program, 'P' the phone
    std::string bytes;
    bool operator==(const Turn& o) const { return side == o.side && bytes == o.bytes; }
};
std::ostream& operator<<(std::ostream& os, const Turn& t) {
    std::string shown;
    for (char c : t.bytes) {
        if (c == '\r')
            shown += "\\r";
        else if (c == '\n')
            shown += "\\n";
        else
            shown += c;
    }
    return os << t.side << ":" << shown;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == 't')
            out += '\t';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

class FileOpsE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        phoneDir = work.filePath(QStringLiteral("phone")).toStdString();
        savedDir = work.filePath(QStringLiteral("saved")).toStdString();
        pcDir = work.filePath(QStringLiteral("pc")).toStdString();
        transcript = work.filePath(QStringLiteral("transcript.txt")).toStdString();
        QDir().mkpath(QString::fromStdString(phoneDir));
        QDir().mkpath(QString::fromStdString(pcDir));
    }

    // A file the phone holds from the start; folder in the emulator's --root layout.
    void PutOnPhone(const std::string& folder, const std::string& name, const std::string& data) {
        ASSERT_TRUE(WriteAll(phoneDir + "/" + folder + "/" + name, data));
    }
    // A file on the computer; returns its full path.
    std::string PutOnComputer(const std::string& sub, const std::string& name,
                              const std::string& data) {
        const std::string path = pcDir + "/" + sub + "/" + name;
        EXPECT_TRUE(WriteAll(path, data)) << path;
        return path;
    }

    // The phone with the prepared files (and nothing else), the program connected.
    // A shorter quiet time on the line only makes large transfers quicker.
    bool Start(QStringList extra = {}, int readInterval = 0) {
        QStringList args{QStringLiteral("--empty"),         QStringLiteral("--root"),
                         QString::fromStdString(phoneDir),  QStringLiteral("--save"),
                         QString::fromStdString(savedDir),  QStringLiteral("--transcript"),
                         QString::fromStdString(transcript)};
        if (!rig.emulator.Start(args + extra))
            return false;
        rig.answers.Then(ModalAnswerer::Start());
        rig.Make();
        if (readInterval > 0)
            rig.form->Comm321->ReadInterval = readInterval;  // read when the port opens
        return rig.WaitReady();
    }

    // What the phone holds in folder now, name to bytes.
    std::map<std::string, std::string> OnPhone(const std::string& folder) {
        std::map<std::string, std::string> files;
        EXPECT_TRUE(rig.emulator.Save());
        QDir dir(QString::fromStdString(savedDir + "/" + folder));
        for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden)) {
            files[f.fileName().toStdString()] = ReadAll(f.absoluteFilePath().toStdString());
        }
        return files;
    }
    static std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
        std::vector<std::string> names;
        for (const auto& [name, data] : files) names.push_back(name);
        return names;
    }

    // Opens the phone folder at path from the root, by double-clicks as the user does.
    void OpenPhoneFolder(const std::vector<std::string>& path) {
        for (int i = 0; i < 4 && rig.s().CurrentFolder != rig.s().PhoneTree.get(); ++i)
            rig.Get<QPushButton>("ParentPhoneBtn")->click();
        for (const std::string& name : path) {
            const int row = rig.Row(name);
            ASSERT_GE(row, 0) << name;
            QTest::mouseDClick(rig.pane()->viewport(), Qt::LeftButton, Qt::NoModifier,
                               rig.pane()->RowRect(row).center());
            ASSERT_EQ(rig.s().CurrentFolder->Name, name);
        }
    }
    void SelectOnPhone(const std::vector<std::string>& names) {
        rig.pane()->clearSelection();
        for (const std::string& name : names) {
            const int row = rig.Row(name);
            ASSERT_GE(row, 0) << name;
            rig.pane()->SetSelected(row, true);
        }
    }

    // Shows a computer folder in the left pane once it is read and sorted.
    void ShowOnComputer(const std::string& dir) {
        ASSERT_EQ(dir.rfind(pcDir, 0), 0u);
        TShellList* source = rig.Get<TShellList>("Source");
        ASSERT_TRUE(source->SetFolder(QString::fromStdString(dir))) << dir;
        const int count = int(
            QDir(QString::fromStdString(dir))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .size());
        ASSERT_TRUE(WaitUntil([&] {
            if (!source->Loaded() || source->Count() != count)
                return false;
            for (int i = 1; i < count; ++i) {
                if (QString::compare(QString::fromStdString(source->ItemPath(i - 1)),
                                     QString::fromStdString(source->ItemPath(i)),
                                     Qt::CaseInsensitive) > 0)
                    return false;
            }
            return true;
        })) << dir;
    }
    void SelectOnComputer(const std::vector<std::string>& names) {
        TShellList* source = rig.Get<TShellList>("Source");
        source->clearSelection();
        std::set<std::string> wanted(names.begin(), names.end());
        for (int i = 0; i < source->Count(); ++i) {
            if (wanted.erase(QFileInfo(QString::fromStdString(source->ItemPath(i)))
                                 .fileName()
                                 .toStdString()))
                source->SetSelected(i, true);
        }
        EXPECT_TRUE(wanted.empty());
    }
    std::vector<std::string> SelectedOnComputer() {
        std::vector<std::string> names;
        TShellList* source = rig.Get<TShellList>("Source");
        for (int i = 0; i < source->Count(); ++i) {
            if (source->Selected(i))
                names.push_back(QFileInfo(QString::fromStdString(source->ItemPath(i)))
                                    .fileName()
                                    .toStdString());
        }
        return names;
    }
    std::vector<std::string> SelectedOnPhone() {
        std::vector<std::string> names;
        for (int i = 0; i < rig.pane()->Count(); ++i) {
            if (rig.pane()->Selected(i))
                names.push_back(rig.Captions()[i]);
        }
        return names;
    }

    // True once the operation has ended and the program takes input again.
    bool Ready() {
        return rig.form->isEnabled() && !rig.form->ProcessForm->isVisible() &&
               !QApplication::activeModalWidget();
    }
    // Clicks an operation's button and waits for its end.
    void Run(QPushButton* button, int ms = 30000) {
        button->click();
        ASSERT_TRUE(PumpUntil([&] { return Ready(); }, ms)) << rig.port->sent.substr(mark);
    }

    // What the program sent since Mark().
    void Mark() {
        mark = rig.port->sent.size();
        transcriptMark = QFileInfo(QString::fromStdString(transcript)).size();
        rig.answers.seen.clear();
    }
    std::string Sent() const { return rig.port->sent.substr(mark); }
    static int Occurrences(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    // The conversation since Mark() from the emulator's transcript.
    std::vector<Turn> Turns() {
        QFile f(QString::fromStdString(transcript));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        f.seek(transcriptMark);
        std::vector<Turn> turns;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const std::string line = raw.toStdString();
            std::size_t at = line.find_first_not_of(' ');
            at = at == std::string::npos ? at : line.find(' ', at);
            if (at == std::string::npos || at + 1 >= line.size())
                continue;
            const char side = line[at + 1];
            const auto open = line.find('"'), close = line.rfind('"');
            if ((side != 'H' && side != 'P') || open == std::string::npos || close <= open)
                continue;
            const std::string bytes = Unescape(line.substr(open + 1, close - open - 1));
            if (!turns.empty() && turns.back().side == side)
                turns.back().bytes += bytes;
            else
                turns.push_back({side, bytes});
        }
        return turns;
    }

    QTemporaryDir work;
    std::string phoneDir, savedDir, pcDir, transcript;
    ProgramRig rig;
    std::size_t mark = 0;
    qint64 transcriptMark = 0;
};

ModalAnswerer::Action RenameTo(const std::string& name) {
    return [name](QWidget* w) {
        auto* form = qobject_cast<TRenameForm*>(w);
        ASSERT_NE(form, nullptr);
        form->RenName->setText(QString::fromStdString(name));
        form->RenOK->click();
    };
}
// Answers the file-exists dialog with one of its buttons, after editing the name
// when newName is given; notes the name it offered.
ModalAnswerer::Action Exists(const char* button, const std::string& newName = {},
                             std::vector<std::string>* offered = nullptr) {
    return [=](QWidget* w) {
        auto* form = qobject_cast<TFileExistForm*>(w);
        ASSERT_NE(form, nullptr);
        if (offered)
            offered->push_back(form->NewName->text().toStdString());
        if (!newName.empty())
            form->NewName->setText(QString::fromStdString(newName));
        ModalAnswerer::Press(w, button);
    };
}

// ---------------------------------------------------------------------------
// A phone that misbehaves

// Each reset is answered 1.5 s late, so the program resets twice and two "OK"s
// come back: the second must not end the first listing, and every folder is
// filled with its own files.
TEST_F(FileOpsE2E, SlowPhoneFillsEveryFolderWithItsOwnFiles) {
    PutOnPhone("Sounds/My Sounds", "ring.mid", "ring");
    PutOnPhone("Sounds/Voice", "memo.amr", "memo");
    PutOnPhone("java", "game_suite.jad", "jad");
    PutOnPhone("", "root.txt", "root");
    ASSERT_TRUE(rig.emulator.Start({QStringLiteral("--empty"), QStringLiteral("--root"),
                                    QString::fromStdString(phoneDir),
                                    QStringLiteral("--reset-delay"), QStringLiteral("1500")}));
    rig.answers.Then(ModalAnswerer::Start());
    rig.Make();
    ManualClock(*rig.form, false);  // the real watchdog: resets, then the quiet wait
    ASSERT_TRUE(rig.WaitReady(30000));
    EXPECT_EQ(Occurrences(rig.port->sent, "ATZ\r\n"), 2);
    EXPECT_EQ(rig.port->sent.substr(rig.port->sent.find("AT+FSDL")), CachingPassListings());
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{"settings"});
    EXPECT_NE(rig.Row("root.txt"), -1);
    ManualClock(*rig.form, true);
    OpenPhoneFolder({"Sounds", "My Sounds"});
    EXPECT_EQ(rig.Captions(), std::vector<std::string>{"ring.mid"});
    OpenPhoneFolder({"Sounds", "Voice"});
    EXPECT_EQ(rig.Captions(), std::vector<std::string>{"memo.amr"});
    OpenPhoneFolder({"java"});
    EXPECT_EQ(rig.Captions(), std::vector<std::string>{"game_suite.jad"});
}

// The announced size of each Write in what was sent, and the bytes that followed
// it up to the next command line.
std::vector<std::pair<std::size_t, std::size_t>> WritePayloads(const std::string& sent) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (auto at = sent.find("AT+FSFW="); at != std::string::npos;) {
        const auto end = sent.find("\r\n", at);
        const std::string line = sent.substr(at, end - at);
        const auto last = line.rfind(','), before = line.rfind(',', last - 1);
        const std::size_t announced = std::stoul(line.substr(before + 1, last - before - 1));
        const auto next = sent.find("AT+", end + 2);
        out.push_back({announced, (next == std::string::npos ? sent.size() : next) - (end + 2)});
        at = sent.find("AT+FSFW=", end);
    }
    return out;
}

// A phone that sends its write prompt twice and a stray prompt before the "OK" of
// each erase and change of folder: no Write carries more than it announced, and
// the registry rebuild moves only on the replies it waits for.
TEST_F(FileOpsE2E, ExtraPromptsNeverMakeAWriteCarryMore) {
    PutOnPhone("java", "game_suite.jad", "MIDlet-Name: Game\n");
    PutOnPhone("java", "suites.utf", std::string("\x00\x04old_", 6));
    PutOnPhone("java", "suitesName.utf", "Old name");
    PutOnPhone("Images/My Images", "pic.bin", "old picture");
    PutOnPhone("Images/My Images", "r.bin", Filler(1100, 34));
    PutOnComputer("up", "pic.bin", Filler(1300, 35));
    ASSERT_TRUE(Start({QStringLiteral("--double-prompt"), QStringLiteral("--stray-prompt")}));

    OpenPhoneFolder({"java"});
    Mark();
    Run(rig.Get<QPushButton>("CompileJavaBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    EXPECT_EQ(Occurrences(Sent(), "Brindlewort"), 1);
    auto files = OnPhone("java");
    EXPECT_EQ(files["suites.utf"], std::string("\x00\x05game_", 7));
    EXPECT_EQ(files["suitesName.utf"], "Brindlewort");

    // An upload over an existing file, then a rename.
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/up");
    SelectOnComputer({"pic.bin"});
    rig.answers.Then(Exists("FexOverwriteBtn"));
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    SelectOnPhone({"r.bin"});
    rig.answers.Then(RenameTo("s.bin"));
    Run(rig.Get<QPushButton>("RenameBtn"));
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{"exist", "rename"}));
    files = OnPhone("Images/My Images");
    EXPECT_TRUE(files["pic.bin"] == Filler(1300, 35));
    EXPECT_TRUE(files["s.bin"] == Filler(1100, 34));
    EXPECT_EQ(files.count("r.bin"), 0u);
    const auto payloads = WritePayloads(Sent());
    ASSERT_EQ(payloads.size(), 4u);
    for (const auto& [announced, carried] : payloads) EXPECT_EQ(carried, announced);
}

// A rename whose write-back the phone refuses: the bytes stay on the computer under
// the file's own name in the rescue folder, and the pane shows what the phone holds.
TEST_F(FileOpsE2E, RefusedWriteBackKeepsTheFileInTheRescueFolder) {
    QTemporaryDir data;
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    PutOnPhone("Images/My Images", "photo.jpg", Filler(1500, 36));
    PutOnPhone("Images/My Images", "other.jpg", "other");
    ASSERT_TRUE(Start({QStringLiteral("--error-on"), QStringLiteral("AT+FSFW"),
                       QStringLiteral("--error-code"), QStringLiteral("2007")}));
    OpenPhoneFolder({"Images", "My Images"});
    SelectOnPhone({"photo.jpg"});
    rig.answers.Then(RenameTo("holiday.jpg"));
    rig.answers.Then(ModalAnswerer::Ok());
    rig.answers.Then(ModalAnswerer::Ok());
    Mark();
    Run(rig.Get<QPushButton>("RenameBtn"));
    const std::string kept = data.path().toStdString() + "/orvo-fm/rescued/photo.jpg";
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{
                                    "rename", "box:Ошибка:Ошибка записи файла\r\nПамять заполнена",
                                    "box:Ошибка:Файл сохранён в " + kept}));
    EXPECT_TRUE(ReadAll(kept) == Filler(1500, 36));
    EXPECT_EQ(QDir(data.path() + QStringLiteral("/orvo-fm/rescued"))
                  .entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("photo.jpg")});
    EXPECT_EQ(Names(OnPhone("Images/My Images")), std::vector<std::string>{"other.jpg"});
    EXPECT_EQ(rig.Captions(), std::vector<std::string>{"other.jpg"});
    if (savedData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedData);
}

// ---------------------------------------------------------------------------
// Copy to the phone

TEST_F(FileOpsE2E, CopyToPhoneTakesTheLargestFileAndRefusesOneByteMore) {
    const std::string exact = Filler(616448, 1);
    const std::string over = Filler(616449, 2);
    PutOnComputer("size", "a-first.bin", "first\n");
    PutOnComputer("size", "b-exact.bin", exact);
    const std::string overPath = PutOnComputer("size", "c-over.bin", over);
    PutOnComputer("size", "d-last.bin", "last\r\n");
    // The line's quiet time ends each received block; at the program's 25 ms the
    // 1204 prompts of the large file alone would take half a minute.
    ASSERT_TRUE(Start({}, 2));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/size");
    SelectOnComputer({"a-first.bin", "b-exact.bin", "c-over.bin", "d-last.bin"});
    Mark();
    rig.answers.Then(ModalAnswerer::Ok());
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"), 90000);

    EXPECT_EQ(rig.answers.seen,
              std::vector<std::string>{"box:Ошибка::Файл " + overPath + " слишком большой"});
    EXPECT_EQ(Occurrences(Sent(), "AT+FSFW"), 3);
    // 1204 whole blocks: the remainder announced is 0.
    EXPECT_NE(Sent().find("AT+FSFW=-1,\"b-exact.bin\",0,\" \",616448,"), std::string::npos);
    EXPECT_EQ(Sent().find("c-over.bin"), std::string::npos);
    const auto files = OnPhone("Images/My Images");
    EXPECT_EQ(Names(files), (std::vector<std::string>{"a-first.bin", "b-exact.bin", "d-last.bin"}));
    EXPECT_EQ(files.at("a-first.bin"), "first\n");
    EXPECT_TRUE(files.at("b-exact.bin") == exact) << files.at("b-exact.bin").size();
    EXPECT_EQ(files.at("d-last.bin"), "last\r\n");
    EXPECT_EQ(rig.Captions(),
              (std::vector<std::string>{"a-first.bin", "b-exact.bin", "d-last.bin"}));
    EXPECT_TRUE(SelectedOnComputer().empty());
}

TEST_F(FileOpsE2E, CopyToPhoneFollowsEachFolderRule) {
    for (int i : {1, 2, 4, 5, 6, 7, 8, 9}) {
        const std::string slot = "melody0" + std::to_string(i) + ".mel";
        PutOnPhone("Sounds/Default Sounds", slot, MelodyHeader(slot) + "MMMD" + Filler(50, i));
    }
    PutOnPhone("Images/My Images", "a.txt", "phone a");
    PutOnPhone("Images/My Images", "b.txt", "phone b");
    PutOnPhone("Images/My Images", "c.txt", "phone c");
    ASSERT_TRUE(Start());

    // Java suites get their marker; the extension test is exact.
    const std::string jar = "PK\x03\x04" + Filler(1200, 3);
    const std::string upperJar = "PK\x03\x04" + Filler(300, 4);
    PutOnComputer("java", "game.jar", jar);
    PutOnComputer("java", "GAME.JAR", upperJar);
    OpenPhoneFolder({"java"});
    ShowOnComputer(pcDir + "/java");
    SelectOnComputer({"game.jar", "GAME.JAR"});
    Mark();
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    auto files = OnPhone("java");
    EXPECT_EQ(Names(files), (std::vector<std::string>{"GAME.JAR", "game_suite.jar"}));
    EXPECT_TRUE(files["game_suite.jar"] == jar);
    EXPECT_TRUE(files["GAME.JAR"] == upperJar);

    // Melodies take the first free slot; a bare one gets its header.
    const std::string bare = "MMMD" + Filler(900, 5);
    const std::string headed = Filler(32, 6) + "MMMD" + Filler(600, 7);
    PutOnComputer("melody", "a-bare.mid", bare);
    PutOnComputer("melody", "b-headed.mid", headed);
    OpenPhoneFolder({"Sounds", "Default Sounds"});
    ShowOnComputer(pcDir + "/melody");
    SelectOnComputer({"a-bare.mid", "b-headed.mid"});
    Mark();
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    EXPECT_NE(Sent().find("AT+FSFW=-1,\"melody03.mel\",424,\" \",936,"), std::string::npos)
        << Sent().substr(0, 200);
    EXPECT_NE(Sent().find("AT+FSFW=-1,\"melody10.mel\",124,\" \",636,"), std::string::npos);
    // The header goes out as the start of the first block.
    EXPECT_NE(Sent().find(MelodyHeader("melody03.mel") + bare.substr(0, 480)), std::string::npos);
    files = OnPhone("Sounds/Default Sounds");
    EXPECT_EQ(files.size(), 10u);
    EXPECT_TRUE(files["melody03.mel"] == MelodyHeader("melody03.mel") + bare);
    EXPECT_TRUE(files["melody10.mel"] == headed);
    EXPECT_EQ(files.count("a-bare.mid") + files.count("b-headed.mid"), 0u);

    // Long names in "My Sounds" keep their first 24 and last 4 bytes of UTF-8.
    PutOnComputer("long", "abcdefghijklmnopqrstuvwxyz.mid", "MThd tune");
    PutOnComputer("long", "short-name.mid", "MThd other");
    PutOnComputer("long", "Длинное имя мелодии.mid", "MThd long");  // 40 bytes
    PutOnComputer("long", "Мелодия.mid", "MThd short");
    OpenPhoneFolder({"Sounds", "My Sounds"});
    ShowOnComputer(pcDir + "/long");
    SelectOnComputer({"abcdefghijklmnopqrstuvwxyz.mid", "short-name.mid", "Длинное имя мелодии.mid",
                      "Мелодия.mid"});
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    files = OnPhone("Sounds/My Sounds");
    EXPECT_EQ(files,
              (std::map<std::string, std::string>{{"abcdefghijklmnopqrstuvwx.mid", "MThd tune"},
                                                  {"short-name.mid", "MThd other"},
                                                  {"Длинное имя м.mid", "MThd long"},
                                                  {"Мелодия.mid", "MThd short"}}));
    EXPECT_EQ(rig.Captions(),
              (std::vector<std::string>{"abcdefghijklmnopqrstuvwx.mid", "short-name.mid",
                                        "Длинное имя м.mid", "Мелодия.mid"}));

    // Name conflicts: a new name, overwrite, and cancel, which ends the batch.
    PutOnComputer("conflict", "a.txt", "pc a");
    PutOnComputer("conflict", "b.txt", "pc b");
    PutOnComputer("conflict", "c.txt", "pc c");
    PutOnComputer("conflict", "d.txt", "pc d");
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/conflict");
    SelectOnComputer({"a.txt", "b.txt", "c.txt", "d.txt"});
    std::vector<std::string> offered;
    rig.answers.Then(Exists("FexOKBtn", "a2.txt", &offered));
    rig.answers.Then(Exists("FexOverwriteBtn", {}, &offered));
    rig.answers.Then(Exists("FexCancel", {}, &offered));
    Mark();
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{"exist", "exist", "exist"}));
    EXPECT_EQ(offered, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    const std::string sent = Sent();
    EXPECT_NE(sent.find("AT+FSFW=-1,\"a2.txt\""), std::string::npos);
    const auto eraseB = sent.find("AT+FSFE=-1,\"b.txt\"\r\n");
    const auto writeB = sent.find("AT+FSFW=-1,\"b.txt\"");
    EXPECT_NE(eraseB, std::string::npos);
    EXPECT_LT(eraseB, writeB);
    EXPECT_EQ(Occurrences(sent, "AT+FSFW"), 2);
    EXPECT_EQ(Occurrences(sent, "AT+FSFE"), 1);
    files = OnPhone("Images/My Images");
    EXPECT_EQ(
        files,
        (std::map<std::string, std::string>{
            {"a.txt", "phone a"}, {"a2.txt", "pc a"}, {"b.txt", "pc b"}, {"c.txt", "phone c"}}));
    // Cancel left the file it was asked about and the rest where they were.
    EXPECT_EQ(SelectedOnComputer(), (std::vector<std::string>{"d.txt"}));
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"a.txt", "a2.txt", "b.txt", "c.txt"}));
}

TEST_F(FileOpsE2E, AbortStopsAfterTheFileInProgress) {
    std::vector<std::string> names;
    for (int i = 1; i <= 5; ++i) {
        names.push_back("f" + std::to_string(i) + ".bin");
        PutOnComputer("five", names.back(), Filler(2000, 10 + i));
    }
    ASSERT_TRUE(Start());
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/five");
    SelectOnComputer(names);
    Mark();

    // Abort as soon as the first data block of the first file has gone out.
    bool commandSeen = false, clicked = false;
    std::string longStatus;
    rig.port->onWrite = [&] {
        if (clicked)
            return;
        if (!commandSeen) {
            commandSeen = Sent().find("AT+FSFW") != std::string::npos;
            return;
        }
        clicked = true;
        QTimer::singleShot(0, [&] {
            rig.form->ProcessForm->AbortBtn->click();
            longStatus = rig.form->ProcessForm->LongStatus->text().toStdString();
        });
    };
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    rig.port->onWrite = nullptr;
    EXPECT_TRUE(clicked);
    EXPECT_EQ(longStatus, "Завершение текущей операции");
    EXPECT_EQ(Occurrences(Sent(), "AT+FSFW"), 1);
    const auto files = OnPhone("Images/My Images");
    EXPECT_EQ(Names(files), std::vector<std::string>{"f1.bin"});
    EXPECT_TRUE(files.at("f1.bin") == Filler(2000, 11));
    EXPECT_EQ(SelectedOnComputer(), std::vector<std::string>(names.begin() + 1, names.end()));
    EXPECT_EQ(rig.Captions(), std::vector<std::string>{"f1.bin"});
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
}

// ---------------------------------------------------------------------------
// Copy to the computer

TEST_F(FileOpsE2E, CopyToComputerBringsEveryByteAndStopsAtAReadOnlyFolder) {
    const std::map<std::string, std::string> phoneFiles{
        {"Привет.bin", Filler(700, 21)},
        {"lines.bin", WithTextAt(Filler(1100, 22), "\n", {0, 1, 511, 512, 1023, 1099})},
        {"ok.bin", WithTextAt(Filler(1536, 23), "OK\r\n", {0, 508, 510, 1024, 1532})},
        {"frame.bin", WithTextAt(WithTextAt(Filler(1400, 24), "+FSFR: ", {0, 506, 900}), "#OK#",
                                 {20, 510, 1024, 1396})},
        {"small.txt", "#OK#"},
    };
    for (const auto& [name, data] : phoneFiles) PutOnPhone("Images/My Images", name, data);
    // An older file of one of the names is replaced.
    PutOnComputer("down", "ok.bin", std::string(5000, 'x'));
    ASSERT_TRUE(Start());
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/down");
    std::vector<std::string> all;
    for (const auto& [name, data] : phoneFiles) all.push_back(name);
    SelectOnPhone(all);
    Mark();
    Run(rig.Get<QPushButton>("CopyToCompBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    EXPECT_EQ(Occurrences(Sent(), "AT+FSFR"), 5);
    for (const auto& [name, data] : phoneFiles) {
        EXPECT_TRUE(ReadAll(pcDir + "/down/" + name) == data) << name;
    }
    EXPECT_TRUE(SelectedOnPhone().empty());
    // The phone is untouched.
    EXPECT_EQ(OnPhone("Images/My Images"), phoneFiles);

    // A folder nobody can create files in: the batch ends at the first file and
    // the rows stay selected.
    ASSERT_FALSE(QFile(QStringLiteral("/proc/sys/fs/orvo-probe")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(rig.Get<TShellList>("Source")->SetFolder(QStringLiteral("/proc/sys/fs")));
    ASSERT_EQ(rig.Get<TShellList>("Source")->FolderPath(), "/proc/sys/fs");
    SelectOnPhone({"lines.bin", "ok.bin"});
    rig.answers.Then(ModalAnswerer::Ok());
    Mark();
    Run(rig.Get<QPushButton>("CopyToCompBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{"box:Ошибка:Диск только для чтения"});
    EXPECT_EQ(Occurrences(Sent(), "AT+FSFR"), 0);
    EXPECT_EQ(SelectedOnPhone(), (std::vector<std::string>{"lines.bin", "ok.bin"}));
    EXPECT_EQ(rig.s().CurrentOperation, OperationState::Idle);
}

// A slow line sends about 19 bytes every 10 ms; with a short quiet time on the
// program's side each slice reaches the engine as a block of its own, as when the
// phone pauses in the middle of a reply.
QStringList SlowLine() {
    return {QStringLiteral("--baud"), QStringLiteral("19200")};
}

// Filler without CR and "#": no line end and no marker by chance.
std::string PlainFiller(std::size_t size, uint32_t seed) {
    std::string data = Filler(size, seed);
    std::replace(data.begin(), data.end(), '\r', 'r');
    std::replace(data.begin(), data.end(), '#', 'x');
    return data;
}

TEST_F(FileOpsE2E, CopyToComputerJoinsBlocksThatArriveInPieces) {
    const std::map<std::string, std::string> phoneFiles{
        {"Привет.bin", PlainFiller(700, 25)},
        {"text.bin", WithTextAt(PlainFiller(1100, 26), "+FSFR: 1,512,\nOK\n", {0, 500, 1080})},
    };
    for (const auto& [name, data] : phoneFiles) PutOnPhone("Images/My Images", name, data);
    ASSERT_TRUE(Start(SlowLine(), 2));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir);
    SelectOnPhone({"Привет.bin", "text.bin"});
    Mark();
    Run(rig.Get<QPushButton>("CopyToCompBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    for (const auto& [name, data] : phoneFiles) {
        EXPECT_TRUE(ReadAll(pcDir + "/" + name) == data) << name;
    }
}

TEST_F(FileOpsE2E, MarkerTextInsideABlockThatArrivesInPiecesIsFileData) {
    // Beyond what the link promises, kept as a record of the limit: the phone sends
    // each data block in one burst with its "#OK#" marker at the end and waits for
    // "##>", so a block is always the last text of a received chunk. A phone that
    // paused inside a block for longer than the serial block gap would have file
    // bytes spelling "#OK#" taken for its marker, and file bytes "\r\n" at the end
    // of a chunk taken for the end of the block. Framing by the block's second field
    // would avoid it, but the program does not rely on that field's meaning.
    GTEST_SKIP() << "a phone pausing inside a data block is beyond the link's promise";
    const std::string data = WithTextAt(PlainFiller(1030, 27), "#OK#", {300});
    PutOnPhone("Images/My Images", "marker.bin", data);
    ASSERT_TRUE(Start(SlowLine(), 2));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir);
    SelectOnPhone({"marker.bin"});
    Mark();
    Run(rig.Get<QPushButton>("CopyToCompBtn"), 10000);
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    EXPECT_TRUE(ReadAll(pcDir + "/marker.bin") == data);
    EXPECT_EQ(Occurrences(Sent(), "##>\r\n"), 3);  // one per block of 1030 bytes
}

TEST_F(FileOpsE2E, ChecksumMismatchIsReportedAndTheBatchGoesOn) {
    PutOnPhone("Images/My Images", "one.bin", Filler(900, 31));
    PutOnPhone("Images/My Images", "two.bin", Filler(300, 32));
    PutOnComputer("", "two.bin", "the user's own two.bin");
    ASSERT_TRUE(Start({QStringLiteral("--corrupt-crc")}));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir);
    SelectOnPhone({"one.bin", "two.bin"});
    rig.answers.Then(ModalAnswerer::Ok());
    rig.answers.Then(ModalAnswerer::Ok());
    Mark();
    Run(rig.Get<QPushButton>("CopyToCompBtn"));
    const std::string crc = "box:Error:CRC Error While Reading File\r\nФайл " + pcDir;
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{crc + "/one.bin не сохранён",
                                                          crc + "/two.bin не сохранён"}));
    // one.bin's second block was framed by its length: it is read once more, by the
    // quiet gap alone, before its mismatch is reported; two.bin has one block only.
    EXPECT_EQ(Occurrences(Sent(), "AT+FSFR=-1,\"one.bin\""), 2);
    EXPECT_EQ(Occurrences(Sent(), "AT+FSFR=-1,\"two.bin\""), 1);
    // A file that fails its check never takes the name: the folder is as it was.
    EXPECT_EQ(QDir(QString::fromStdString(pcDir))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("two.bin")});
    EXPECT_EQ(ReadAll(pcDir + "/two.bin"), "the user's own two.bin");
}

// A read the phone refuses half-way leaves an existing file of that name alone.
TEST_F(FileOpsE2E, FailedReadKeepsTheFileOnTheComputer) {
    PutOnPhone("Images/My Images", "song.bin", Filler(2000, 33));
    PutOnComputer("", "song.bin", "the user's own song.bin");
    ASSERT_TRUE(Start({QStringLiteral("--error-on"), QStringLiteral("AT+FSFR"),
                       QStringLiteral("--error-code"), QStringLiteral("11")}));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir);
    SelectOnPhone({"song.bin"});
    rig.answers.Then(ModalAnswerer::Ok());
    Mark();
    Run(rig.Get<QPushButton>("CopyToCompBtn"));
    EXPECT_EQ(rig.answers.seen,
              std::vector<std::string>{"box:Ошибка:Ошибка чтения файла\r\nФайл не найден"});
    EXPECT_EQ(QDir(QString::fromStdString(pcDir))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("song.bin")});
    EXPECT_EQ(ReadAll(pcDir + "/song.bin"), "the user's own song.bin");
}

// ---------------------------------------------------------------------------
// A lost line, and leaving mid-transfer

// The line paced like a real cable: a large download takes many seconds.
QStringList RealLine() {
    return {QStringLiteral("--baud"), QStringLiteral("115200")};
}

// Every name in a folder, hidden ones included.
std::vector<std::string> FolderNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const QString& name :
         QDir(QString::fromStdString(dir))
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDir::Name)) {
        names.push_back(name.toStdString());
    }
    return names;
}

TEST_F(FileOpsE2E, PulledCableEndsADownloadAtOnceAndStartConnectsAgain) {
    const std::string big = Filler(200000, 51);
    PutOnPhone("Images/My Images", "big.bin", big);
    const std::string own = "the computer's own big.bin\n";
    PutOnComputer("down", "big.bin", own);
    const std::string link = work.filePath(QStringLiteral("phone-port")).toStdString();
    const QStringList args = QStringList{QStringLiteral("--empty"), QStringLiteral("--root"),
                                         QString::fromStdString(phoneDir), QStringLiteral("--link"),
                                         QString::fromStdString(link)} +
                             RealLine();
    ASSERT_TRUE(rig.emulator.Start(args));
    rig.answers.Then(ModalAnswerer::Start());
    rig.Make({link});
    ASSERT_TRUE(rig.WaitReady());
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/down");
    SelectOnPhone({"big.bin"});
    Mark();
    rig.Get<QPushButton>("CopyToCompBtn")->click();
    // A few blocks in: the transfer is under way.
    ASSERT_TRUE(PumpUntil([&] { return Occurrences(Sent(), "##>") >= 4; }));
    ASSERT_EQ(rig.s().CurrentOperation, OperationState::Reading);

    QElapsedTimer sincePulled;
    qint64 reportedAfter = -1;
    bool openAtReport = true, progressAtReport = true, enabledAtReport = false;
    std::vector<std::string> folderAtReport;
    std::string ownAtReport;
    rig.answers.Then([&](QWidget* w) {
        reportedAfter = sincePulled.elapsed();
        openAtReport = rig.form->Comm321->IsOpen();
        progressAtReport = rig.form->ProcessForm->isVisible();
        enabledAtReport = rig.form->isEnabled();
        folderAtReport = FolderNames(pcDir + "/down");
        ownAtReport = ReadAll(pcDir + "/down/big.bin");
        ModalAnswerer::Ok()(w);
    });
    bool pluggedIn = false;
    std::size_t sentBeforeStart = 0;
    rig.answers.Then([&](QWidget* w) {
        // The cable goes back in while the settings dialog is up.
        pluggedIn = rig.emulator.Start(args);
        sentBeforeStart = rig.port->sent.size();
        ModalAnswerer::Press(w, "Start");
    });
    sincePulled.start();
    rig.emulator.Kill();
    ASSERT_TRUE(PumpUntil([&] { return rig.answers.seen.size() >= 2; }, 10000));
    EXPECT_EQ(rig.answers.seen[0],
              "box:Ошибка:Связь с телефоном потеряна: порт " + link +
                  " отключён или пропал\r\nПодключите кабель и нажмите \"Старт\"");
    EXPECT_EQ(rig.answers.seen[1], "settings");
    EXPECT_GE(reportedAfter, 0);
    EXPECT_LT(reportedAfter, 1000);
    EXPECT_FALSE(openAtReport);
    EXPECT_FALSE(progressAtReport);
    EXPECT_TRUE(enabledAtReport);
    // The folder is as it was: the file of the same name keeps its bytes, and no
    // partial or temporary file is left.
    EXPECT_EQ(folderAtReport, std::vector<std::string>{"big.bin"});
    EXPECT_TRUE(ownAtReport == own) << ownAtReport.size() << " bytes";
    std::cout << "[ unplug   ] reported " << reportedAfter << " ms after the cable was pulled\n";

    ASSERT_TRUE(pluggedIn);
    ASSERT_TRUE(rig.WaitReady());
    EXPECT_EQ(rig.port->sent.substr(sentBeforeStart), "ATZ\r\n" + CachingPassListings());
    EXPECT_EQ(rig.answers.seen.size(), 2u);
    EXPECT_TRUE(rig.form->Comm321->IsOpen());
    EXPECT_EQ(FolderNames(pcDir + "/down"), std::vector<std::string>{"big.bin"});
}

TEST_F(FileOpsE2E, ClosingTheWindowMidTransferAsksFirst) {
    const std::string first = Filler(30000, 52), second = Filler(60000, 53);
    PutOnPhone("Images/My Images", "first.bin", first);
    PutOnPhone("Images/My Images", "second.bin", second);
    PutOnComputer("down", "keep.txt", "keep");
    ASSERT_TRUE(Start(RealLine()));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/down");
    const std::string question = "box:Подтверждение:Операция не завершена. Выйти?";

    // "Нет": the transfer goes on to its end.
    SelectOnPhone({"first.bin"});
    Mark();
    rig.Get<QPushButton>("CopyToCompBtn")->click();
    ASSERT_TRUE(PumpUntil([&] { return Occurrences(Sent(), "##>") >= 2; }));
    rig.answers.Then([](QWidget* w) { ModalAnswerer::Press(w, "No"); });
    EXPECT_FALSE(rig.form->close());
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{question});
    EXPECT_TRUE(rig.form->isVisible());
    EXPECT_TRUE(rig.form->Comm321->IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return Ready(); }));
    EXPECT_TRUE(ReadAll(pcDir + "/down/first.bin") == first);

    // "Да": the port is closed, the partial file is gone and the window closes.
    SelectOnPhone({"second.bin"});
    Mark();
    rig.Get<QPushButton>("CopyToCompBtn")->click();
    ASSERT_TRUE(PumpUntil([&] { return Occurrences(Sent(), "##>") >= 2; }));
    rig.answers.Then([](QWidget* w) { ModalAnswerer::Press(w, "Yes"); });
    EXPECT_TRUE(rig.form->close());
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{question});
    EXPECT_FALSE(rig.form->isVisible());
    EXPECT_FALSE(rig.form->Comm321->IsOpen());
    EXPECT_FALSE(rig.s().LocalFile.IsOpen());
    EXPECT_EQ(FolderNames(pcDir + "/down"), (std::vector<std::string>{"first.bin", "keep.txt"}));

    // Closed with nothing running: no question.
    rig.answers.seen.clear();
    EXPECT_TRUE(rig.form->close());
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
}

TEST_F(FileOpsE2E, ExitFromTheMenuMidTransferAsksFirst) {
    PutOnPhone("Images/My Images", "big.bin", Filler(60000, 54));
    PutOnComputer("down", "keep.txt", "keep");
    ASSERT_TRUE(Start(RealLine()));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/down");
    SelectOnPhone({"big.bin"});
    Mark();
    rig.Get<QPushButton>("CopyToCompBtn")->click();
    ASSERT_TRUE(PumpUntil([&] { return Occurrences(Sent(), "##>") >= 2; }));

    rig.answers.Then([](QWidget* w) { ModalAnswerer::Press(w, "No"); });
    rig.Get<QAction>("Exit1")->trigger();
    EXPECT_FALSE(rig.exited);
    EXPECT_EQ(rig.s().CurrentOperation, OperationState::Reading);

    rig.answers.Then([](QWidget* w) { ModalAnswerer::Press(w, "Yes"); });
    rig.Get<QAction>("Exit1")->trigger();
    EXPECT_TRUE(rig.exited);
    const std::string question = "box:Подтверждение:Операция не завершена. Выйти?";
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{question, question}));
    EXPECT_FALSE(rig.form->Comm321->IsOpen());
    EXPECT_EQ(FolderNames(pcDir + "/down"), std::vector<std::string>{"keep.txt"});
}

// A desktop logout (SIGTERM, SIGHUP) ends the program as "Да" does, without the
// question: the port is closed and the partial file gone.
TEST_F(FileOpsE2E, ASignalMidTransferEndsItWithoutTheQuestion) {
    PutOnPhone("Images/My Images", "big.bin", Filler(60000, 55));
    PutOnComputer("down", "keep.txt", "keep");
    ASSERT_TRUE(Start(RealLine()));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/down");
    SelectOnPhone({"big.bin"});
    Mark();
    rig.Get<QPushButton>("CopyToCompBtn")->click();
    ASSERT_TRUE(PumpUntil([&] { return Occurrences(Sent(), "##>") >= 2; }));
    EXPECT_EQ(FolderNames(pcDir + "/down").size(), 2u);  // keep.txt and the partial file

    rig.form->EndBySignal(SIGTERM);
    EXPECT_TRUE(rig.exited);
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    EXPECT_FALSE(rig.form->Comm321->IsOpen());
    EXPECT_FALSE(rig.s().LocalFile.IsOpen());
    EXPECT_EQ(FolderNames(pcDir + "/down"), std::vector<std::string>{"keep.txt"});
}

// ---------------------------------------------------------------------------
// Delete

TEST_F(FileOpsE2E, DeleteErasesOneFileAfterEachAnswer) {
    for (const char* name : {"x1.bin", "x2.bin", "x3.bin", "keep.bin"})
        PutOnPhone("Images/My Images", name, Filler(100, 40));
    ASSERT_TRUE(Start());
    OpenPhoneFolder({"Images", "My Images"});
    SelectOnPhone({"x1.bin", "x2.bin", "x3.bin"});
    Mark();
    Run(rig.Get<QPushButton>("DeleteBtn"));
    const std::string ok = "OK\r\n";
    EXPECT_EQ(Turns(), (std::vector<Turn>{{'H', "AT+FSCD=\"R\"\r\n"},
                                          {'P', ok},
                                          {'H', "AT+FSFE=-1,\"x1.bin\"\r\n"},
                                          {'P', ok},
                                          {'H', "AT+FSFE=-1,\"x2.bin\"\r\n"},
                                          {'P', ok},
                                          {'H', "AT+FSFE=-1,\"x3.bin\"\r\n"},
                                          {'P', ok}}));
    EXPECT_EQ(Names(OnPhone("Images/My Images")), std::vector<std::string>{"keep.bin"});
    EXPECT_EQ(rig.Captions(), std::vector<std::string>{"keep.bin"});
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
}

// ---------------------------------------------------------------------------
// Rename

TEST_F(FileOpsE2E, RenameWritesTheFileBackUnderTheChosenName) {
    const std::string a = Filler(1300, 51), b = Filler(200, 52), c = Filler(600, 53);
    PutOnPhone("", "root.txt", "at the root");
    PutOnPhone("Images/My Images", "a.txt", a);
    PutOnPhone("Images/My Images", "b.txt", b);
    PutOnPhone("Images/My Images", "c.txt", c);
    ASSERT_TRUE(Start());

    // A folder row: nothing is asked and nothing sent.
    SelectOnPhone({"java"});
    Mark();
    rig.Get<QPushButton>("RenameBtn")
        ->click();  // a question would be answered before click() returns
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    EXPECT_EQ(Sent(), "");
    EXPECT_TRUE(Ready());

    // To a new name.
    OpenPhoneFolder({"Images", "My Images"});
    SelectOnPhone({"a.txt"});
    rig.answers.Then(RenameTo("new.txt"));
    Mark();
    Run(rig.Get<QPushButton>("RenameBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{"rename"});
    std::string sent = Sent();
    EXPECT_EQ(sent.rfind("AT+FSCD=\"R\"\r\nAT+FSFR=-1,\"a.txt\"\r\n", 0), 0u) << sent;
    EXPECT_NE(sent.find("AT+FSFE=-1,\"a.txt\"\r\nAT+FSFW=-1,\"new.txt\","), std::string::npos);
    EXPECT_EQ(sent.substr(sent.size() - 13), "AT+FSDL=\"R\"\r\n");  // read again
    EXPECT_EQ(OnPhone("Images/My Images"),
              (std::map<std::string, std::string>{{"b.txt", b}, {"c.txt", c}, {"new.txt", a}}));
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"b.txt", "c.txt", "new.txt"}));

    // Onto an existing name, overwriting it: that file goes first.
    SelectOnPhone({"new.txt"});
    rig.answers.Then(RenameTo("b.txt"));
    rig.answers.Then(Exists("FexOverwriteBtn"));
    Mark();
    Run(rig.Get<QPushButton>("RenameBtn"));
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{"rename", "exist"}));
    sent = Sent();
    EXPECT_EQ(Occurrences(sent, "AT+FSCD"), 1);
    EXPECT_NE(sent.find("AT+FSFE=-1,\"b.txt\"\r\nAT+FSFE=-1,\"new.txt\"\r\nAT+FSFW=-1,\"b.txt\","),
              std::string::npos)
        << sent;
    EXPECT_EQ(OnPhone("Images/My Images"),
              (std::map<std::string, std::string>{{"b.txt", a}, {"c.txt", c}}));
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"b.txt", "c.txt"}));

    // Onto an existing name, cancelled: the file is written back under its old name.
    SelectOnPhone({"c.txt"});
    rig.answers.Then(RenameTo("b.txt"));
    rig.answers.Then(Exists("FexCancel"));
    Mark();
    Run(rig.Get<QPushButton>("RenameBtn"));
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{"rename", "exist"}));
    sent = Sent();
    EXPECT_NE(sent.find("AT+FSFR=-1,\"c.txt\""), std::string::npos);
    EXPECT_NE(sent.find("AT+FSFE=-1,\"c.txt\"\r\nAT+FSFW=-1,\"c.txt\","), std::string::npos);
    EXPECT_EQ(sent.find("b.txt"), std::string::npos);
    EXPECT_EQ(OnPhone("Images/My Images"),
              (std::map<std::string, std::string>{{"b.txt", a}, {"c.txt", c}}));
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"b.txt", "c.txt"}));

    // A Cyrillic name typed in the dialog reaches the phone in UTF-8.
    SelectOnPhone({"c.txt"});
    rig.answers.Then(RenameTo("Письмо.txt"));
    Mark();
    Run(rig.Get<QPushButton>("RenameBtn"));
    EXPECT_NE(Sent().find("AT+FSFW=-1,\"Письмо.txt\","), std::string::npos);
    EXPECT_EQ(OnPhone("Images/My Images"),
              (std::map<std::string, std::string>{{"b.txt", a}, {"Письмо.txt", c}}));
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"b.txt", "Письмо.txt"}));
}

// ---------------------------------------------------------------------------
// Compile Java

TEST_F(FileOpsE2E, CompileJavaWritesTheRegistryFiles) {
    PutOnPhone("java", "chess_suite.jad", "MIDlet-Name: Chess\n");
    PutOnPhone("java", "chess_suite.jar", Filler(800, 61));
    PutOnPhone("java", "game_suite.jad", "MIDlet-Name: Game\n");
    PutOnPhone("java", "game_suite.jar", Filler(700, 62));
    PutOnPhone("java", "suites.utf", std::string("\x00\x04old_", 6));
    PutOnPhone("java", "suitesName.utf", "Old name");
    PutOnPhone("java", "tool.JAD", "upper case: no record");
    ASSERT_TRUE(Start());
    OpenPhoneFolder({"java"});
    Mark();
    Run(rig.Get<QPushButton>("CompileJavaBtn"));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    const std::string sent = Sent();
    EXPECT_EQ(sent.rfind("AT+FSCD=\"`\"\r\nAT+FSFE=-1,\"suites.utf\"\r\n"
                         "AT+FSFE=-1,\"suitesName.utf\"\r\nAT+FSFW=-1,\"suites.utf\",15,\" \",15,",
                         0),
              0u)
        << sent;
    const auto files = OnPhone("java");
    EXPECT_EQ(files.at("suites.utf"), std::string("\x00\x06"
                                                  "chess_\x00\x05"
                                                  "game_",
                                                  15));
    EXPECT_EQ(files.at("suitesName.utf"), "Brindlewort");
    EXPECT_EQ(files.size(), 7u);
    const auto captions = rig.Captions();
    EXPECT_NE(std::find(captions.begin(), captions.end(), "suites.utf"), captions.end());
    EXPECT_EQ(rig.pane()->SizeText(rig.Row("suites.utf")), "15");
    EXPECT_EQ(rig.pane()->SizeText(rig.Row("suitesName.utf")), "11");
}

// ---------------------------------------------------------------------------
// Errors

TEST_F(FileOpsE2E, FullMemoryDuringAWriteEndsTheBatchAndTheProgramGoesOn) {
    PutOnComputer("three", "p1.bin", Filler(700, 71));
    PutOnComputer("three", "p2.bin", Filler(700, 72));
    PutOnComputer("three", "p3.bin", Filler(700, 73));
    ASSERT_TRUE(Start({QStringLiteral("--error-on"), QStringLiteral("AT+FSFW"),
                       QStringLiteral("--error-code"), QStringLiteral("2007"),
                       QStringLiteral("--error-after"), QStringLiteral("1")}));
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/three");
    SelectOnComputer({"p1.bin", "p2.bin", "p3.bin"});
    rig.answers.Then(ModalAnswerer::Ok());
    Mark();
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    EXPECT_EQ(rig.answers.seen,
              std::vector<std::string>{"box:Ошибка:Ошибка записи файла\r\nПамять заполнена"});
    const std::string sent = Sent();
    EXPECT_EQ(Occurrences(sent, "AT+FSFW"), 2);
    // The folder is read again from the phone after the error.
    EXPECT_EQ(sent.substr(sent.size() - 13), "AT+FSDL=\"R\"\r\n");
    EXPECT_EQ(rig.Captions(), std::vector<std::string>{"p1.bin"});
    EXPECT_EQ(SelectedOnComputer(), std::vector<std::string>{"p3.bin"});
    EXPECT_EQ(Names(OnPhone("Images/My Images")), std::vector<std::string>{"p1.bin"});
    EXPECT_FALSE(rig.form->Timer1->isActive());

    // Ready for the next operation.
    SelectOnPhone({"p1.bin"});
    Mark();
    Run(rig.Get<QPushButton>("DeleteBtn"));
    EXPECT_EQ(Sent(), "AT+FSCD=\"R\"\r\nAT+FSFE=-1,\"p1.bin\"\r\n");
    EXPECT_TRUE(OnPhone("Images/My Images").empty());
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
}

// Ends a drag over the view's viewport with a drop of data at point; true when taken.
bool Drop(QAbstractItemView* view, QMimeData* data, const QPoint& at) {
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    return enter.isAccepted() && drop.isAccepted();
}

QMimeData* FileUrls(const std::vector<std::string>& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data->setUrls(urls);
    return data;
}

TEST_F(FileOpsE2E, DropsCopyBetweenThePanesAsTheButtonsDo) {
    const std::string onPhone = Filler(900, 31);
    PutOnPhone("Images/My Images", "pic.bin", onPhone);
    // A file from another program: not in the folder the computer pane shows.
    const std::string fromDesktop = Filler(1300, 32);
    const std::string dropped = PutOnComputer("desktop", "drop.bin", fromDesktop);
    QDir().mkpath(QString::fromStdString(pcDir + "/down"));
    ASSERT_TRUE(Start());
    OpenPhoneFolder({"Images", "My Images"});
    ShowOnComputer(pcDir + "/down");
    Mark();

    std::unique_ptr<QMimeData> urls(FileUrls({dropped}));
    ASSERT_TRUE(Drop(rig.pane(), urls.get(), QPoint(20, 20)));
    ASSERT_TRUE(PumpUntil([&] { return Ready() && rig.Row("drop.bin") >= 0; }));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});
    auto files = OnPhone("Images/My Images");
    EXPECT_TRUE(files["drop.bin"] == fromDesktop);
    EXPECT_TRUE(files["pic.bin"] == onPhone);

    // Phone rows dropped on an empty place of the computer pane land in its folder.
    std::unique_ptr<QMimeData> names(PhoneNamesMimeData({"pic.bin"}));
    TShellList* source = rig.Get<TShellList>("Source");
    ASSERT_TRUE(Drop(source, names.get(), QPoint(10, source->viewport()->height() - 4)));
    ASSERT_TRUE(PumpUntil(
        [&] { return Ready() && QFile::exists(QString::fromStdString(pcDir + "/down/pic.bin")); }));
    EXPECT_TRUE(ReadAll(pcDir + "/down/pic.bin") == onPhone);
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{});

    // Names that are no file of the folder shown are never asked for.
    Mark();
    std::unique_ptr<QMimeData> forged(PhoneNamesMimeData({"../forged.bin", "Images"}));
    ASSERT_TRUE(Drop(source, forged.get(), QPoint(10, source->viewport()->height() - 4)));
    QCoreApplication::processEvents();
    ASSERT_TRUE(PumpUntil([&] { return Ready(); }));
    EXPECT_EQ(Sent(), "");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pcDir + "/forged.bin")));

    // Local files are not taken by the computer pane, nor phone rows by the phone pane.
    EXPECT_FALSE(Drop(source, urls.get(), QPoint(10, 10)));
    EXPECT_FALSE(Drop(rig.pane(), names.get(), QPoint(10, 10)));

    // Into the root the drop does what the button does: the same bytes and answers.
    OpenPhoneFolder({});
    Mark();
    ASSERT_TRUE(Drop(rig.pane(), urls.get(), QPoint(20, 20)));
    QCoreApplication::processEvents();  // the drop's copy starts from the event loop
    ASSERT_TRUE(PumpUntil([&] { return Ready(); }));
    const std::vector<std::string> afterDrop = rig.answers.seen;
    const std::string sentByDrop = Sent();
    ShowOnComputer(pcDir + "/desktop");
    SelectOnComputer({"drop.bin"});
    Mark();
    Run(rig.Get<QPushButton>("CopyToPhoneBtn"));
    EXPECT_EQ(rig.answers.seen, afterDrop);
    EXPECT_EQ(Sent(), sentByDrop);
}

}  // namespace
