#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ReceiveHandler.h"
#include "engine/ReplyEngine.h"
#include "tests/core/ProtoTestUtil.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

using prototest::Deliver;
using prototest::TempDir;

TEST(InitialisePhone, SendsTheResetAndWaits) {
    TestRig rig;
    rig.s.CurrentOperation = OperationState::Idle;
    rig.s.OperationStep = 7;
    InitialisePhone(rig.s);
    EXPECT_EQ(rig.port.All(), "ATZ\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Initialising);
    EXPECT_EQ(rig.s.OperationStep, 0);
    EXPECT_EQ(rig.s.Timer1.Interval, 1000);
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    EXPECT_EQ(WordsUtf8(rig.s.MainWindow.StatusText), "Инициализируем телефон");
    EXPECT_EQ(WordsUtf8(rig.s.Progress.LongStatus), "Инициализируем программу");
    EXPECT_FALSE(rig.s.Progress.Visible);
    EXPECT_FALSE(rig.s.MainWindow.Enabled);
}

TEST(Watchdog, TwelveResetsThenTimeOut) {
    TestRig rig;
    InitialisePhone(rig.s);
    for (int i = 0; i < 11; ++i) {
        WatchdogExpired(rig.s);
        EXPECT_TRUE(rig.s.Timer1.Enabled);
    }
    EXPECT_EQ(rig.port.writes.size(), 12u);
    for (const auto& w : rig.port.writes) EXPECT_EQ(w, "ATZ\r\n");
    EXPECT_TRUE(rig.ui.messages.empty());
    WatchdogExpired(rig.s);
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
    for (int i = 0; i < 5; ++i) WatchdogExpired(rig.s);
    Deliver(rig.s, "ATZ\r\r\nOK\r\n");
    // Five resets are still unanswered: their late answers are waited for.
    EXPECT_EQ(rig.s.Timer1.Interval, kSettleLateMs);
    WatchdogExpired(rig.s);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Caching);
    int resets = 0;
    for (const auto& w : rig.port.writes) resets += w == "ATZ\r\n";
    EXPECT_EQ(resets, 6);
    EXPECT_NE(rig.port.writes.back(), "ATZ\r\n");
}

// Every state that ends on silence: the texts, and the window given back.
TEST(Watchdog, SilenceEndsTheOperation) {
    struct Case {
        OperationState state;
        const char* text;
        const char* caption;
    } cases[] = {
        {OperationState::Listing, "Ошибка соединения\r\nво время чтения файла", "Ошибка"},
        {OperationState::Reading, "Ошибка соединения\r\nво время записи файла", "Error"},
        {OperationState::Writing, "Телефон не отвечает", "Ошибка"},
        {OperationState::Erasing, "Телефон не отвечает", "Ошибка"},
        {OperationState::CompilingJava, "Телефон не отвечает", "Ошибка"},
        {OperationState::ChangingFolder, "Телефон не отвечает", "Ошибка"},
        {OperationState::Overwriting, "Телефон не отвечает", "Ошибка"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        TestRig rig;
        rig.s.LocalFile.Create(dir.File("t.bin"));
        rig.s.CurrentOperation = c.state;
        rig.s.ShowProgress();
        rig.s.EnableMainWindow(false);
        rig.s.TimerOn();
        OperationState stateInBox = OperationState::Initialising;
        rig.ui.onMessage = [&] { stateInBox = rig.s.CurrentOperation; };
        WatchdogExpired(rig.s);
        ASSERT_EQ(rig.ui.messages.size(), 1u) << c.state;
        EXPECT_EQ(rig.ui.messages[0].text, c.text);
        EXPECT_EQ(rig.ui.messages[0].caption, c.caption);
        EXPECT_EQ(stateInBox, OperationState::Idle);  // bytes arriving meanwhile are dropped
        EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
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
    rig.s.CurrentOperation = OperationState::Caching;
    rig.s.ShowProgress();
    rig.s.TimerOn();
    WatchdogExpired(rig.s);
    EXPECT_EQ(rig.port.closeCount, 1);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_FALSE(rig.s.Progress.Visible);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Телефон не отвечает");
    EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
    EXPECT_EQ(rig.ui.restartCount, 1);
}

// A slow phone answers each reset late: the answers to the resets sent before
// are waited out and dropped, so none of them ends the first listing.
TEST(Watchdog, LateResetAnswersNeverEndAListing) {
    TestRig rig;
    InitialisePhone(rig.s);
    WatchdogExpired(rig.s);  // no answer within the interval: a second reset
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Initialising);
    EXPECT_EQ(rig.s.Timer1.Interval, kSettleLateMs);
    rig.port.ClearWrites();
    Deliver(rig.s, "O");
    Deliver(rig.s, "K\r\n");  // the second reset's answer
    EXPECT_EQ(rig.s.Timer1.Interval, kSettleQuietMs);
    EXPECT_TRUE(rig.port.writes.empty());
    WatchdogExpired(rig.s);  // quiet: the caching pass begins with nothing left over
    ASSERT_EQ(rig.s.CurrentOperation, OperationState::Caching);
    EXPECT_TRUE(rig.s.ReceiveBuffer.empty());
    ASSERT_EQ(rig.port.writes.size(), 1u);
    const int32_t first = rig.s.QueuePosition;
    Deliver(rig.s, "+FSDL: \"a.jad\",1,0,0,0,10,0\r\nOK\r\n");
    EXPECT_EQ(rig.s.QueuePosition, first + 1);

    // A phone that never falls quiet is not waited for without end.
    TestRig chatty;
    InitialisePhone(chatty.s);
    Deliver(chatty.s, "OK\r\n");
    for (int i = 0; i < 100 && chatty.s.CurrentOperation == OperationState::Initialising; ++i)
        Deliver(chatty.s, "RING\r\n");
    EXPECT_EQ(chatty.s.CurrentOperation, OperationState::Caching);
}

// The connection is given up: a late "OK" while the message is open is dropped
// instead of starting a caching pass on a port about to be closed.
TEST(Watchdog, LateAnswerDuringTheTimeOutMessageIsDropped) {
    TestRig rig;
    InitialisePhone(rig.s);
    for (int i = 0; i < 11; ++i) WatchdogExpired(rig.s);
    rig.port.ClearWrites();
    rig.ui.onMessage = [&] { Deliver(rig.s, "OK\r\n"); };
    WatchdogExpired(rig.s);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_FALSE(rig.s.Progress.Visible);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
    EXPECT_EQ(rig.ui.restartCount, 1);
}

// A rename whose phone copy may already be erased: after the time-out the user
// learns where the bytes are, in every state that ends on silence.
TEST(Watchdog, SilenceTellsWhereARenamedFileWasKept) {
    for (OperationState state :
         {OperationState::ChangingFolder, OperationState::Writing, OperationState::Reading,
          OperationState::Listing, OperationState::Caching}) {
        TestRig rig;
        rig.s.CurrentOperation = state;
        rig.s.RenameRescuePath = "/tmp/orvofm-kept";
        rig.s.TimerOn();
        WatchdogExpired(rig.s);
        ASSERT_EQ(rig.ui.messages.size(), 2u) << state;
        EXPECT_EQ(rig.ui.messages[1].text, "Файл сохранён в /tmp/orvofm-kept");
        EXPECT_TRUE(rig.s.RenameRescuePath.empty());
        // Told once only.
        rig.s.CurrentOperation = state;
        WatchdogExpired(rig.s);
        EXPECT_EQ(rig.ui.messages.size(), 3u);
    }
}

TEST(Watchdog, NothingToDoWhileIdle) {
    TestRig rig;
    rig.s.CurrentOperation = OperationState::Idle;
    rig.s.TimerOn();
    WatchdogExpired(rig.s);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_TRUE(rig.port.writes.empty());
}

TEST(MarkerAnswer, OneAnswerPerChunkAndTheLastMarkerRemoved) {
    TestRig rig;
    rig.s.CurrentOperation = kUnscannedState;  // keeps the bytes, so the buffer can be inspected
    Deliver(rig.s, "ab#OK#cd");
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    EXPECT_EQ(rig.s.ReceiveBuffer, "abcd");
    rig.port.ClearWrites();
    rig.s.ReceiveBuffer.clear();
    Deliver(rig.s, std::string("x#OK#y\0#OK#z", 12));
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    EXPECT_EQ(rig.s.ReceiveBuffer, std::string("x#OK#y\0z", 8));
}

// A chunk may end inside the marker: the rest comes with the next chunk.
TEST(MarkerAnswer, MarkerSplitBetweenChunksIsAnswered) {
    const std::vector<std::vector<std::string>> splits = {
        {"data#", "OK#"}, {"data#O", "K#"}, {"data#OK", "#"}, {"data#", "O", "K", "#"}};
    for (const auto& parts : splits) {
        TestRig rig;
        rig.s.CurrentOperation = kUnscannedState;  // keeps the bytes
        for (std::size_t i = 0; i < parts.size(); ++i) {
            Deliver(rig.s, parts[i]);
            // Answered once the last byte of the marker is in, not before.
            EXPECT_EQ(rig.port.writes.size(), i + 1 == parts.size() ? 1u : 0u) << parts[0];
        }
        EXPECT_EQ(rig.port.All(), "##>\r\n");
        EXPECT_EQ(rig.s.ReceiveBuffer, "data");
    }
}

TEST(MarkerAnswer, HeldBytesThatAreNoMarkerArriveInOrder) {
    TestRig rig;
    rig.s.CurrentOperation = kUnscannedState;
    Deliver(rig.s, "ab#O");
    EXPECT_EQ(rig.s.ReceiveBuffer, "ab");
    Deliver(rig.s, "x#");
    EXPECT_EQ(rig.s.ReceiveBuffer, "ab#Ox");
    Deliver(rig.s, "#OK");
    EXPECT_EQ(rig.s.ReceiveBuffer, "ab#Ox#");
    Deliver(rig.s, std::string("\0\n", 2));
    const std::string sofar("ab#Ox##OK\0\n", 11);
    EXPECT_EQ(rig.s.ReceiveBuffer, sofar);
    EXPECT_TRUE(rig.port.writes.empty());
    // A marker right after held bytes: those stay data, the marker goes.
    Deliver(rig.s, "#");
    Deliver(rig.s, "#OK#");
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    Deliver(rig.s, "y");
    EXPECT_EQ(rig.s.ReceiveBuffer, sofar + "#y");
}

// Held bytes never end a line, so a reply that is complete is handled at once.
TEST(MarkerAnswer, HoldingNeverStallsAReply) {
    TestRig rig;
    prototest::g_batchCalls = 0;
    rig.s.BatchStep = prototest::CountingBatchStep;
    rig.s.CurrentOperation = OperationState::Erasing;
    Deliver(rig.s, "OK\r\n#O");
    EXPECT_EQ(prototest::g_batchCalls, 1);
    // The next operation still sees those bytes, as it would any bytes that
    // followed a completion line.
    rig.s.CurrentOperation = kUnscannedState;
    Deliver(rig.s, "x");
    EXPECT_EQ(rig.s.ReceiveBuffer, "#Ox");
}

// Bytes received while idle never reach a later operation, held ones included;
// they still complete a marker, which is answered in every state.
TEST(MarkerAnswer, HeldBytesReceivedWhileIdleAreDropped) {
    TestRig rig;
    prototest::g_batchCalls = 0;
    rig.s.BatchStep = prototest::CountingBatchStep;
    rig.s.CurrentOperation = OperationState::Idle;
    Deliver(rig.s, "late output#");
    rig.s.CurrentOperation = OperationState::Erasing;
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(prototest::g_batchCalls, 1);
    EXPECT_TRUE(rig.port.writes.empty());

    rig.s.CurrentOperation = OperationState::Idle;
    Deliver(rig.s, "#");
    Deliver(rig.s, "O");
    rig.s.CurrentOperation = kUnscannedState;
    Deliver(rig.s, "K#after");
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    EXPECT_EQ(rig.s.ReceiveBuffer, "after");
}

// Bytes behind a write prompt are dropped; a marker start among them too.
TEST(MarkerAnswer, HeldBytesBehindAWritePromptAreDropped) {
    TestRig rig;
    TempDir dir;
    prototest::WriteFile(dir.File("w.bin"), "abc");
    rig.s.LocalFile.OpenRead(dir.File("w.bin"));
    rig.s.WriteBytesLeft = 3;  // as announced by the Write command
    prototest::g_batchCalls = 0;
    rig.s.BatchStep = prototest::CountingBatchStep;
    rig.s.CurrentOperation = OperationState::Writing;
    Deliver(rig.s, "##>\r\n#");
    EXPECT_EQ(rig.port.All(), "abc");
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(prototest::g_batchCalls, 1);
}

TEST(MarkerAnswer, NewConnectionForgetsHeldBytes) {
    TestRig rig;
    rig.s.CurrentOperation = kUnscannedState;
    Deliver(rig.s, "#O");
    rig.s.ReceiveBuffer.clear();
    InitialisePhone(rig.s);
    Deliver(rig.s, "OK\r\n");
    WatchdogExpired(rig.s);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Caching);
}

TEST(MarkerAnswer, AnsweredWhileIdleToo) {
    TestRig rig;
    rig.s.CurrentOperation = OperationState::Idle;
    Deliver(rig.s, "#OK#");
    EXPECT_EQ(rig.port.All(), "##>\r\n");
    EXPECT_TRUE(rig.s.ReceiveBuffer.empty());
}

}  // namespace
