// "Помощь" -> "Записывать обмен с телефоном" and orvo-fm --trace FILE: where the
// trace goes and what the user is told. The records themselves are the shared
// link's (tests/cli/TraceTest.cpp).
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include "tests/ui/UiTestSupport.h"
#include "ui/CommandLine.h"
#include "ui/MainForm.h"

using namespace orvo;

namespace {

std::string Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
}

}  // namespace

TEST(TraceMenu, RecordsIntoTheDataFolderAndNamesTheFileWhenTurnedOff) {
    TForm1 form;  // never shown: no port is opened
    QAction* item = Named<QAction>(&form, "TraceLine1");
    ASSERT_TRUE(Named<QMenu>(&form, "Help1")->actions().contains(item));
    EXPECT_EQ(item->text(), QStringLiteral("Записывать обмен с телефоном"));
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());

    item->trigger();
    ASSERT_TRUE(item->isChecked());
    const QString path = item->statusTip();
    EXPECT_TRUE(path.startsWith(qEnvironmentVariable("XDG_DATA_HOME") +
                                QStringLiteral("/orvo-fm/traces/orvo-fm-trace-")))
        << path.toStdString();
    EXPECT_TRUE(QFile::exists(path));

    ModalAnswerer answers;
    answers.Then(ModalAnswerer::Ok());
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(answers.seen, (std::vector<std::string>{"box:Информация:Обмен с телефоном записан в "
                                                      "файл\r\n" +
                                                      path.toStdString()}));
    EXPECT_EQ(Contents(path), "# trace ended\n");
}

TEST(TraceMenu, TraceOptionTurnsItOnFromTheStartAndAnUnwritableFileIsRefused) {
    QTemporaryDir dir;
    const ProgramOptions given =
        ParseCommandLine({"orvo-fm", "--trace", dir.filePath("line.txt").toStdString()});
    ASSERT_TRUE(given.error.empty());
    {
        TForm1 form(given);
        EXPECT_TRUE(Named<QAction>(&form, "TraceLine1")->isChecked());
        EXPECT_TRUE(QFile::exists(dir.filePath("line.txt")));
    }

    // A file where a folder would have to be: the item stays off and the user is told.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ProgramOptions o;
    o.trace = dir.filePath("blocker/line.txt").toStdString();
    TForm1 form(o);
    EXPECT_FALSE(Named<QAction>(&form, "TraceLine1")->isChecked());
    ModalAnswerer answers;
    answers.Then(ModalAnswerer::Ok());
    Named<QAction>(&form, "TraceLine1")->trigger();
    EXPECT_FALSE(Named<QAction>(&form, "TraceLine1")->isChecked());
    ASSERT_EQ(answers.seen.size(), 1u);
    EXPECT_EQ(answers.seen[0].rfind("box:Ошибка:Невозможно записать файл " + o.trace, 0), 0u)
        << answers.seen[0];
}
