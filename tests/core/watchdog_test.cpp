#include <gtest/gtest.h>

#include "protocol/ReceiveHandler.h"
#include "tests/core/ProtoTestUtil.h"
#include "tests/support/Fakes.h"

namespace {

using prototest::Deliver;
using prototest::TempDir;

TEST(InitialisePhone, SendsTheResetAndWaits) {
    TestRig rig;
    rig.s.CurrentOperation = Idle;
    rig.s.OperationStep = 7;
    InitialisePhone(rig.s);
    EXPECT_EQ(rig.port.All(), "ATZ\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, Initialising);
    EXPECT_EQ(rig.s.OperationStep, 0);
    EXPECT_EQ(rig.s.Timer1.Interval, 1000);
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    EXPECT_EQ(rig.s.MainWindow.StatusText, "Инициализируем телефон");
    EXPECT_EQ(rig.s.Progress.LongStatus, "Инициализируем программу");
    EXPECT_FALSE(rig.s.Progress.Visible);
    EXPECT_FALSE(rig.s.MainWindow.Enabled);
}

TEST(Watchdog, TwelveResetsThenTimeOut) {
    TestRig rig;
    InitialisePhone(rig.s);
    for (int i = 0; i < 11; ++i) {
        Timer1Timer(rig.s);
        EXPECT_TRUE(rig.s.Timer1.Enabled);
    }
    EXPECT_EQ(rig.port.writes.size(), 12u);
    for (const auto& w : rig.port.writes) EXPECT_EQ(w, "ATZ\r\n");
    EXPECT_TRUE(rig.ui.messages.empty());
    Timer1Timer(rig.s);
    EXPECT_EQ(rig.port.writes.size(), 12u);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Время ожидания истекло");
    EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
    EXPECT_EQ(rig.port.closeCount, 1);
    EXPECT_EQ(rig.ui.restartCount, 1);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
}

TEST(Watchdog, AnswerToTheSixthResetStopsTheResets) {
    TestRig rig;
    InitialisePhone(rig.s);
    for (int i = 0; i < 5; ++i) Timer1Timer(rig.s);
    Deliver(rig.s, "ATZ\r\r\nOK\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, Caching);
    int resets = 0;
    for (const auto& w : rig.port.writes) resets += w == "ATZ\r\n";
    EXPECT_EQ(resets, 6);
    EXPECT_NE(rig.port.writes.back(), "ATZ\r\n");
}

// Every state that ends on silence: the texts, and the window given back.
TEST(Watchdog, SilenceEndsTheOperation) {
    struct Case {
        int32_t state;
        const char* text;
        const char* caption;
    } cases[] = {
        {Listing, "Ошибка соединения\r\nво время чтения файла", "Ошибка"},
        {Reading, "Ошибка соединения\r\nво время записи файла", "Error"},
        {Writing, "Телефон не отвечает", "Ошибка"},
        {Erasing, "Телефон не отвечает", "Ошибка"},
        {CompilingJava, "Телефон не отвечает", "Ошибка"},
        {ChangingFolder, "Телефон не отвечает", "Ошибка"},
        {Overwriting, "Телефон не отвечает", "Ошибка"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        TestRig rig;
        rig.s.LocalFile.Create(dir.File("t.bin"));
        rig.s.CurrentOperation = c.state;
        rig.s.ShowProgress();
        rig.s.EnableMainWindow(false);
        rig.s.TimerOn();
        int32_t stateInBox = -1;
        rig.ui.onMessage = [&] { stateInBox = rig.s.CurrentOperation; };
        Timer1Timer(rig.s);
        ASSERT_EQ(rig.ui.messages.size(), 1u) << c.state;
        EXPECT_EQ(rig.ui.messages[0].text, c.text);
        EXPECT_EQ(rig.ui.messages[0].caption, c.caption);
        EXPECT_EQ(stateInBox, Idle);  // bytes arriving meanwhile are dropped
        EXPECT_EQ(rig.s.CurrentOperation, Idle);
        EXPECT_FALSE(rig.s.Progress.Visible);
        EXPECT_TRUE(rig.s.MainWindow.Enabled);
        EXPECT_FALSE(rig.s.Timer1.Enabled);
        EXPECT_FALSE(rig.s.LocalFile.IsOpen());
        EXPECT_EQ(rig.port.closeCount, 0);
        EXPECT_EQ(rig.ui.restartCount, 0);
    }
}

TEST(Watchdog, SilenceWhileCachingRestartsTheConnection) {
    TestRig rig;
    rig.s.CurrentOperation = Caching;
    rig.s.ShowProgress();
    rig.s.TimerOn();
    Timer1Timer(rig.s);
    EXPECT_EQ(rig.port.closeCount, 1);
    EXPECT_EQ(rig.s.CurrentOperation, Idle);
    EXPECT_FALSE(rig.s.Progress.Visible);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Телефон не отвечает");
    EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
    EXPECT_EQ(rig.ui.restartCount, 1);
}

TEST(Watchdog, NothingToDoWhileIdle) {
    TestRig rig;
    rig.s.CurrentOperation = Idle;
    rig.s.TimerOn();
    Timer1Timer(rig.s);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_TRUE(rig.port.writes.empty());
}

TEST(MarkerAnswer, OneAnswerPerChunkAndTheLastMarkerRemoved) {
    TestRig rig;
    rig.s.CurrentOperation = 7;  // keeps the bytes, so the buffer can be inspected
    Deliver(rig.s, "ab#OK#cd");
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    EXPECT_EQ(rig.s.ReceiveBuffer, "abcd");
    rig.port.ClearWrites();
    rig.s.ReceiveBuffer.clear();
    Deliver(rig.s, std::string("x#OK#y\0#OK#z", 12));
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    EXPECT_EQ(rig.s.ReceiveBuffer, std::string("x#OK#y\0z", 8));
    rig.port.ClearWrites();
    rig.s.ReceiveBuffer.clear();
    Deliver(rig.s, "#O");
    Deliver(rig.s, "K#");
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.s.ReceiveBuffer, "#OK#");
}

TEST(MarkerAnswer, AnsweredWhileIdleToo) {
    TestRig rig;
    rig.s.CurrentOperation = Idle;
    Deliver(rig.s, "#OK#");
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    EXPECT_TRUE(rig.s.ReceiveBuffer.empty());
}

}  // namespace
