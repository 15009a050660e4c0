// The parts of orvo-cli that decide without the phone: folder paths, the command
// line, the choice of port, the exit status of a message, the work-list panes.
#include <gtest/gtest.h>

#include "app/FolderPaths.h"
#include "app/WorkPanes.h"
#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/Outcome.h"
#include "engine/FolderCache.h"

using namespace orvo;

TEST(FolderPaths, MatchTheStandardFolderNamesNotTheSlashes) {
    auto root = SeedStandardFolders();
    PhoneNode* menu = FindFolderByPath(root.get(), "Images/OnOff/Menu Images");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->Code, 'D');
    EXPECT_EQ(FindFolderByPath(root.get(), "/Sounds/My Sounds/")->Code, 'T');
    EXPECT_EQ(FindFolderByPath(root.get(), "/"), root.get());
    EXPECT_EQ(FindFolderByPath(root.get(), ""), root.get());
    EXPECT_EQ(FindFolderByPath(root.get(), "Images/OnOff"), nullptr);
    EXPECT_EQ(FindFolderByPath(root.get(), "Sounds/My"), nullptr);
    EXPECT_EQ(FindFolderByPath(root.get(), "sounds"), nullptr);

    // Every folder's path names it again.
    std::function<void(PhoneNode*)> each = [&](PhoneNode* f) {
        EXPECT_EQ(FindFolderByPath(root.get(), FolderPathOf(f)), f) << FolderPathOf(f);
        for (PhoneNode* c = f->FirstChild.get(); c; c = c->NextSibling.get()) each(c);
    };
    each(root.get());

    PhoneNode* folder = nullptr;
    std::string name;
    ASSERT_TRUE(SplitFilePath(root.get(), "Images/OnOff/Menu Images/on.gif", folder, name));
    EXPECT_EQ(folder, menu);
    EXPECT_EQ(name, "on.gif");
    ASSERT_TRUE(SplitFilePath(root.get(), "tricky.bin", folder, name));
    EXPECT_EQ(folder, root.get());
    EXPECT_FALSE(SplitFilePath(root.get(), "Nowhere/x.mid", folder, name));
    EXPECT_FALSE(SplitFilePath(root.get(), "java/", folder, name));
}

TEST(CliOptions, ReadOptionsAnywhereAndRefuseWhatCannotWork) {
    CliOptions o = ParseCliArguments(
        {"get", "java/a.jar", "-o", "/tmp", "--port", "/dev/x", "--baud", "230400", "--json"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.command, "get");
    EXPECT_EQ(o.args, std::vector<std::string>{"java/a.jar"});
    EXPECT_EQ(o.outDir, "/tmp");
    EXPECT_EQ(o.port, "/dev/x");
    EXPECT_EQ(o.baud, 230400u);
    EXPECT_TRUE(o.json);

    o = ParseCliArguments({"put", "--rename-to", "b.txt", "a.txt", "java"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.conflict, Conflict::RenameTo);
    EXPECT_EQ(ParseCliArguments({"--", "mv", "java/-a", "-b"}).args[1], "-b");

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"ls"},
             {"ls", "java", "extra"},
             {"put", "a.txt"},
             {"mv", "java/a"},
             {"tree", "--baud", "9600"},
             {"tree", "--port"},
             {"get", "java/a", "--skip"},
             {"put", "a", "b", "java", "--rename-to", "c"},
             {"put", "a", "java", "--skip", "--overwrite"},
             {"ls", "java", "-o", "/tmp"},
             {"ls", "java", "--verbose"},
         }) {
        EXPECT_NE(ParseCliArguments(bad).error, "") << ::testing::PrintToString(bad);
    }
    EXPECT_TRUE(ParseCliArguments({"--help"}).help);
}

TEST(CliOptions, PortComesFromTheOptionThenTheEnvironmentThenTheOnlyPortFound) {
    int status = -1;
    EXPECT_EQ(ChoosePort("/dev/a", "/dev/b", {"/dev/c"}, status), "/dev/a");
    EXPECT_EQ(ChoosePort("", "/dev/b", {"/dev/c", "/dev/d"}, status), "/dev/b");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ChoosePort("", "", {"/dev/c"}, status), "/dev/c");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ChoosePort("", nullptr, {"/dev/c", "/dev/d"}, status), "");
    EXPECT_EQ(status, kExitUsage);
    EXPECT_EQ(ChoosePort("", nullptr, {}, status), "");
    EXPECT_EQ(status, kExitPort);
}

TEST(Outcome, MessagesGoOnOneLine) {
    EXPECT_EQ(OneLine("Ошибка записи файла\r\nПамять заполнена"),
              "Ошибка записи файла: Память заполнена");
    EXPECT_EQ(OneLine("Ошибка удаления файла\r\n"), "Ошибка удаления файла");
}

TEST(WorkPanes, ThePhonePaneKeepsTheFormsOrder) {
    ListedPhonePane pane;
    pane.AddRow("b.txt", "1", 1);
    pane.AddRow("A.txt", "1", 1);
    pane.AddRow("c.txt", "1", 1);
    EXPECT_EQ(pane.Caption(0), "A.txt");  // the form's order: case does not lead
    EXPECT_EQ(pane.Caption(2), "c.txt");
    pane.SetSelected(2, true);
    EXPECT_EQ(pane.ItemIndex(), 2);
}

// Every command of the list is in --help, takes the options its entry names and
// no other, and is refused with the operands it cannot take.
TEST(CliCommands, TheListDrivesHelpOperandsAndOptions) {
    const std::string usage = CliUsage();
    const std::vector<std::pair<std::string, CommandOption>> options = {
        {"--overwrite", kTakesOverwrite}, {"--skip", kTakesSkip},   {"--resume", kTakesResume},
        {"--dry-run", kTakesDryRun},      {"--force", kTakesForce},
    };
    for (const CliCommand& c : CliCommands()) {
        EXPECT_NE(usage.find("\n  " + std::string(c.synopsis)), std::string::npos) << c.name;
        EXPECT_EQ(FindCliCommand(c.name), &c);
        std::vector<std::string> args{c.name};
        for (int i = 0; i < c.minOperands; ++i) args.push_back("java/a" + std::to_string(i));
        EXPECT_EQ(ParseCliArguments(args).error, "") << c.name;
        for (const auto& [spelling, bit] : options) {
            std::vector<std::string> with = args;
            with.push_back(spelling);
            const std::string error = ParseCliArguments(with).error;
            if (c.options & bit)
                EXPECT_EQ(error, "") << c.name << " " << spelling;
            else
                EXPECT_EQ(error.rfind(spelling + " works with ", 0), 0u) << c.name << ": " << error;
        }
        if (c.maxOperands >= 0) {
            std::vector<std::string> extra = args;
            for (int i = c.minOperands; i <= c.maxOperands; ++i) extra.push_back("x");
            EXPECT_EQ(ParseCliArguments(extra).error,
                      *c.operands ? c.name + std::string(" needs ") + c.operands
                                  : c.name + std::string(" takes no arguments"));
        }
    }
    EXPECT_EQ(FindCliCommand("frobnicate"), nullptr);
    EXPECT_EQ(ParseCliArguments({"tree", "-o", "x"}).error, "-o works with get only");
}
