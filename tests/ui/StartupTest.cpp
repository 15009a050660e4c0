// Start-up, the connection's life cycle and the reply watchdog, with the real
// serial component and the phone emulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include "tests/ui/UiTestSupport.h"
#include "ui/ProcessForm.h"

using namespace orvo;

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(StartUp, SettingsComeFirstAndExitOpensNoPort) {
    ProgramRig rig;
    ASSERT_TRUE(rig.emulator.Start());
    bool portOpenAtSettings = true;
    std::string sentAtSettings = "?";
    QString firstPort;
    rig.answers.Then([&](QWidget* w) {
        portOpenAtSettings = rig.form->Comm321->IsOpen();
        sentAtSettings = rig.port->sent;
        firstPort = static_cast<TSettingsForm*>(w)->SelCom->itemText(0);
        ModalAnswerer::Press(w, "CancelSetBtn");
    });
    rig.Make();
    ASSERT_TRUE(WaitUntil([&] { return rig.exited; }));
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{"settings"});
    EXPECT_FALSE(portOpenAtSettings);
    EXPECT_EQ(sentAtSettings, "");
    EXPECT_EQ(firstPort.toStdString(), rig.emulator.pty);
    EXPECT_FALSE(rig.form->Comm321->IsOpen());
    EXPECT_EQ(rig.port->sent, "");
}

TEST(StartUp, StartWakesThePhoneAndCachesEveryFolder) {
    ProgramRig rig;
    ASSERT_TRUE(rig.emulator.Start());
    // The state of the windows whenever something is sent.
    bool everEnabledWhileSending = false;
    bool progressDisabled = false;
    rig.answers.Then(ModalAnswerer::Start());
    rig.Make();
    rig.port->onWrite = [&] {
        // The reset goes out before the window is disabled; the listings after.
        if (rig.port->sent.size() > 5)
            everEnabledWhileSending |= rig.form->isEnabled();
        if (rig.form->ProcessForm->isVisible())
            progressDisabled |= !rig.form->ProcessForm->isEnabled();
    };
    ASSERT_TRUE(rig.WaitReady()) << rig.port->sent;

    EXPECT_EQ(rig.port->sent, "ATZ\r\n" + CachingPassListings());
    EXPECT_EQ(rig.Captions(),
              (std::vector<std::string>{"Images", "java", "readme.txt", "Sounds", "tricky.bin"}));
    EXPECT_EQ(rig.pane()->Image(rig.Row("java")), 0);
    EXPECT_EQ(rig.pane()->Image(rig.Row("readme.txt")), 1);
    EXPECT_EQ(rig.pane()->SizeText(rig.Row("readme.txt")), "48");
    EXPECT_EQ(rig.pane()->SizeText(rig.Row("Sounds")), "");
    EXPECT_FALSE(everEnabledWhileSending);
    EXPECT_FALSE(progressDisabled);
    EXPECT_TRUE(rig.form->isEnabled());
    EXPECT_FALSE(rig.form->ProcessForm->isVisible());
    EXPECT_TRUE(rig.form->Comm321->IsOpen());
    // The watchdog is off after the pass and keeps the 10-second interval.
    EXPECT_FALSE(rig.form->Timer1->isActive());
    EXPECT_EQ(rig.form->Timer1->interval(), 10000);
    EXPECT_EQ(rig.answers.seen, std::vector<std::string>{"settings"});
}

TEST(StartUp, SilentPhoneGetsTwelveResetsThenSettingsAgain) {
    ProgramRig rig;
    ASSERT_TRUE(rig.emulator.Start({"--silent"}));
    rig.answers.Then(ModalAnswerer::Start());
    rig.Make();
    ASSERT_TRUE(WaitUntil([&] { return rig.port->sent == "ATZ\r\n"; }));
    // Waking: the window takes no input, the watchdog runs at one second.
    EXPECT_FALSE(rig.form->isEnabled());
    EXPECT_EQ(rig.Get<QLabel>("StatusPanel")->text().toStdString(), "Инициализируем телефон");
    EXPECT_TRUE(rig.form->Timer1->isActive());
    EXPECT_EQ(rig.form->Timer1->interval(), 1000);

    for (int i = 0; i < 11; ++i) rig.form->Timer1Timer();
    EXPECT_EQ(rig.port->sent, Repeat("ATZ\r\n", 12));
    EXPECT_TRUE(rig.form->Timer1->isActive());

    bool portOpenAtSecondSettings = true;
    rig.answers.Then(ModalAnswerer::Ok());
    rig.answers.Then([&](QWidget* w) {
        portOpenAtSecondSettings = rig.form->Comm321->IsOpen();
        ModalAnswerer::Press(w, "CancelSetBtn");
    });
    rig.form->Timer1Timer();  // returns once the message box is answered
    ASSERT_TRUE(WaitUntil([&] { return rig.exited; }));
    EXPECT_EQ(rig.answers.seen, (std::vector<std::string>{
                                    "settings", "box:Ошибка:Время ожидания истекло", "settings"}));
    EXPECT_FALSE(portOpenAtSecondSettings);
    EXPECT_EQ(rig.port->sent, Repeat("ATZ\r\n", 12));
    EXPECT_FALSE(rig.form->Timer1->isActive());
}

TEST(StartUp, PortThatCannotBeOpenedLeadsBackToSettingsEveryTime) {
    ProgramRig rig;
    rig.answers.Then(ModalAnswerer::Start());
    rig.answers.Then(ModalAnswerer::Ok());
    rig.answers.Then(ModalAnswerer::Start());
    rig.answers.Then(ModalAnswerer::Ok());
    rig.answers.Then(ModalAnswerer::Exit());
    rig.Make({"/nonexistent/orvo-port"});
    ASSERT_TRUE(WaitUntil([&] { return rig.exited; }));
    const std::string failed =
        "box:Ошибка:Невозможно открыть порт\r\nПорт /nonexistent/orvo-port не найден: "
        "устройство отключено или пропало. Проверьте кабель и выберите порт снова";
    EXPECT_EQ(rig.answers.seen,
              (std::vector<std::string>{"settings", failed, "settings", failed, "settings"}));
    EXPECT_EQ(rig.form->Comm321->CommPort, "/nonexistent/orvo-port");
    EXPECT_FALSE(rig.form->Comm321->IsOpen());
    EXPECT_EQ(rig.port->sent, "");
}

TEST(StartUp, PortHeldByAnotherProgramIsReportedAsBusy) {
    ProgramRig rig;
    ASSERT_TRUE(rig.emulator.Start());
    TComm32 holder;  // another program has the port
    holder.CommPort = rig.emulator.pty;
    ASSERT_TRUE(holder.Open());
    rig.answers.Then(ModalAnswerer::Start());
    rig.answers.Then(ModalAnswerer::Ok());
    rig.answers.Then(ModalAnswerer::Exit());
    rig.Make();
    ASSERT_TRUE(WaitUntil([&] { return rig.exited; }));
    EXPECT_EQ(
        rig.answers.seen,
        (std::vector<std::string>{"settings",
                                  "box:Ошибка:Невозможно открыть порт\r\nПорт " + rig.emulator.pty +
                                      " занят другой программой: закройте её и нажмите "
                                      "\"Старт\"",
                                  "settings"}));
    EXPECT_FALSE(rig.form->Comm321->IsOpen());
    EXPECT_EQ(rig.port->sent, "");
}

TEST(StartUp, PulledCableWhileIdleIsReportedAtOnce) {
    ProgramRig rig;
    ASSERT_TRUE(rig.StartAndWait());
    const std::string pty = rig.emulator.pty;
    QElapsedTimer sincePulled;
    qint64 reportedAfter = -1;
    bool openAtReport = true;
    rig.answers.Then([&](QWidget* w) {
        reportedAfter = sincePulled.elapsed();
        openAtReport = rig.form->Comm321->IsOpen();
        ModalAnswerer::Ok()(w);
    });
    rig.answers.Then(ModalAnswerer::Exit());
    sincePulled.start();
    rig.emulator.Kill();
    ASSERT_TRUE(WaitUntil([&] { return rig.exited; }, 10000));
    EXPECT_EQ(rig.answers.seen,
              (std::vector<std::string>{
                  "settings",
                  "box:Ошибка:Связь с телефоном потеряна: порт " + pty +
                      " отключён или пропал\r\nПодключите кабель и нажмите \"Старт\"",
                  "settings"}));
    EXPECT_GE(reportedAfter, 0);
    EXPECT_LT(reportedAfter, 1000);
    EXPECT_FALSE(openAtReport);
    EXPECT_FALSE(rig.form->Timer1->isActive());
    EXPECT_EQ(rig.s().CurrentOperation, OperationState::Idle);
}

TEST(StartUp, SettingsMenuClosesThePortAndANewStartRebuildsTheTree) {
    ProgramRig rig;
    ASSERT_TRUE(rig.StartAndWait());
    const PhoneNode* firstTree = rig.s().PhoneTree.get();
    rig.port->sent.clear();

    bool portOpenAtSettings = true;
    int portsListed = -1;
    rig.answers.Then([&](QWidget* w) {
        portOpenAtSettings = rig.form->Comm321->IsOpen();
        portsListed = static_cast<TSettingsForm*>(w)->SelCom->count();
        static_cast<TSettingsForm*>(w)->SelSpeed->setCurrentIndex(1);
        ModalAnswerer::Press(w, "Start");
    });
    const int portsAtStart = rig.form->SettingsForm->SelCom->count();
    rig.Get<QAction>("Settings1")->trigger();
    // The reset goes out; the pass follows once the line is quiet after its answer.
    ASSERT_TRUE(WaitUntil([&] { return rig.port->sent.size() >= 5; }));
    ASSERT_TRUE(rig.WaitReady());
    EXPECT_FALSE(portOpenAtSettings);
    EXPECT_EQ(portsListed, portsAtStart);  // the list is not rebuilt
    EXPECT_EQ(rig.form->Comm321->BaudRate, 230400u);
    EXPECT_EQ(rig.port->sent, "ATZ\r\n" + CachingPassListings());
    EXPECT_NE(rig.s().PhoneTree.get(), firstTree);
    EXPECT_EQ(rig.s().CurrentFolder, rig.s().PhoneTree.get());
    EXPECT_EQ(rig.Captions(),
              (std::vector<std::string>{"Images", "java", "readme.txt", "Sounds", "tricky.bin"}));
}

TEST(StartUp, ClosingTheWindowReleasesThePort) {
    ProgramRig rig;
    ASSERT_TRUE(rig.StartAndWait());
    ASSERT_TRUE(rig.form->Comm321->IsOpen());
    rig.form->close();
    EXPECT_FALSE(rig.form->Comm321->IsOpen());
}

}  // namespace
