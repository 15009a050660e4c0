// orvo-cli sends the phone what the file manager sends for the same work. The
// form's side runs in process: the session with the form's stand-in panes and
// dialogs, over the serial component and the watchdog of PhoneLink, on the
// emulator program; the emulator's transcripts of both runs are compared.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/PaneSelection.h"
#include "app/PhoneLink.h"
#include "engine/FileOperations.h"
#include "engine/Navigation.h"
#include "phonefs/PhoneTree.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

// One start of the program: settings, "Старт", the caching pass, a double-click
// on the folder, the files selected, the button, then the program is closed.
void FormSession(const QString& pty, const Bytes& folder,
                 const std::function<void(Session&, FakePhonePane&, FakeComputerPane&)>& select,
                 void (*button)(Session&), const std::string& localFolder) {
    Session s;
    FakeUi ui;
    FakePhonePane pane;
    FakeComputerPane source;
    PhoneLink link(s);
    s.Ui = &ui;
    s.PhonePane = &pane;
    s.Source = &source;
    std::string reason;
    ASSERT_TRUE(link.Open(pty.toStdString(), 115200, reason)) << reason;
    ASSERT_TRUE(link.WakePhone());
    ASSERT_TRUE(pane.Select(folder));
    OpenSelectedFolder(s);
    source.Load(localFolder);
    select(s, pane, source);
    ASSERT_TRUE(link.RunAndWait([&] { button(s); }));
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
    link.Close();
    s.Ui = nullptr;
}

}  // namespace

TEST(Transcript, CliSendsTheFormsBytesForAnUploadAndADownload) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("up/melody.mid"), std::string(1300, 'm'));
    QDir().mkpath(dir.filePath("form"));
    QDir().mkpath(dir.filePath("cli"));
    const std::string up = dir.filePath("up").toStdString();

    {
        Emulator phone;
        ASSERT_TRUE(phone.Start({"--transcript", dir.filePath("form.log")}));
        FormSession(
            phone.pty, "java",
            [](Session&, FakePhonePane&, FakeComputerPane& source) { source.Select("melody.mid"); },
            UploadSelectedFiles, up);
        FormSession(
            phone.pty, "java",
            [](Session&, FakePhonePane& pane, FakeComputerPane&) { pane.Select("game_suite.jar"); },
            DownloadSelectedFiles, dir.filePath("form").toStdString());
        phone.Stop();
    }
    {
        Emulator phone;
        ASSERT_TRUE(phone.Start({"--transcript", dir.filePath("cli.log")}));
        CliRun put = RunCli({"--port", phone.pty, "put", dir.filePath("up/melody.mid"), "java"});
        EXPECT_EQ(put.status, 0) << put.err;
        CliRun get =
            RunCli({"--port", phone.pty, "get", "java/game_suite.jar", "-o", dir.filePath("cli")});
        EXPECT_EQ(get.status, 0) << get.err;
        phone.Stop();
    }
    const std::string form = HostBytes(dir.filePath("form.log"));
    ASSERT_NE(form.find("AT+FSFW"), std::string::npos);
    ASSERT_NE(form.find("AT+FSFR"), std::string::npos);
    EXPECT_EQ(HostBytes(dir.filePath("cli.log")), form);
    EXPECT_EQ(ReadFile(dir.filePath("cli/game_suite.jar")),
              ReadFile(dir.filePath("form/game_suite.jar")));
}
