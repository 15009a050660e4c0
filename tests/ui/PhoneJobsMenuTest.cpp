// The whole-phone menu items of the main window against the emulator program:
// a job's failures come in one summary box at its end, not one box each.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>

#include "tests/ui/UiTestSupport.h"
#include "ui/PhoneJobsMenu.h"

using namespace orvo;

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

TEST(PhoneJobsMenu, AFailedFileIsListedInTheOneSummaryBoxAndTheRestIsDone) {
    QTemporaryDir work;
    Write(work.filePath("phone/Images/My Images/a.bin"), "aaaa");
    Write(work.filePath("phone/Images/My Images/b.bin"), "bbbbbb");
    Write(work.filePath("phone/Images/My Photos/Camera/c.jpg"), "cc");
    Write(work.filePath("apps/chess.jad"), "MIDlet-Jar-URL: chess.jar\n");
    Write(work.filePath("apps/chess.jar"), "PK-chess");
    // A per cent sign in the folder's name is shown as it is, not taken for a number's place.
    const QString out = work.filePath("out 100%2");
    QDir().mkpath(out);

    ProgramRig rig;
    ASSERT_TRUE(rig.emulator.Start({"--empty", "--root", work.filePath("phone"), "--save",
                                    work.filePath("saved"), "--error-on", "AT+FSFR=-1,\"b.bin\"",
                                    "--error-code", "11"}));
    rig.answers.Then(ModalAnswerer::Start());
    rig.Make();
    ASSERT_TRUE(rig.WaitReady());
    TPhoneJobsMenu* menu = rig.form->PhoneJobs;
    ASSERT_EQ(menu->Backup1->text(), "Резервная копия телефона…");
    ASSERT_EQ(menu->Restore1->text(), "Восстановить…");
    ASSERT_EQ(menu->InstallJava1->text(), "Установить Java-приложение…");

    rig.answers.seen.clear();
    rig.answers.Then(ModalAnswerer::Ok());
    menu->BackupInto(out.toStdString(), false);
    ASSERT_TRUE(WaitUntil([&] { return !rig.answers.seen.empty() && rig.WaitReady(0); }));
    ASSERT_EQ(rig.answers.seen.size(), 1u);
    const std::string box = rig.answers.seen[0];
    EXPECT_EQ(
        box.rfind("box:Резервная копия телефона:Резервная копия: " + out.toStdString() + "/", 0),
        0u)
        << box;
    EXPECT_NE(box.find("Файлов прочитано: 2"), std::string::npos) << box;
    EXPECT_NE(box.find("Не выполнено (1):\nImages/My Images/b.bin: Ошибка чтения файла: Файл "
                       "не найден"),
              std::string::npos)
        << box;
    const QStringList made = QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(made.size(), 1);
    const QString top = out + "/" + made[0];
    EXPECT_EQ(Read(top + "/Images/My Images/a.bin"), "aaaa");
    EXPECT_EQ(Read(top + "/Images/My Photos/Camera/c.jpg"), "cc");
    EXPECT_FALSE(QFile::exists(top + "/Images/My Images/b.bin"));

    rig.answers.seen.clear();
    rig.answers.Then(ModalAnswerer::Ok());
    menu->InstallJavaFrom(work.filePath("apps/chess.jad").toStdString());
    ASSERT_TRUE(WaitUntil([&] { return !rig.answers.seen.empty() && rig.WaitReady(0); }));
    EXPECT_EQ(rig.answers.seen,
              std::vector<std::string>{"box:Установка Java-приложения:Java-приложение "
                                       "установлено: java/chess_suite.jad, java/chess_suite.jar"});
    ASSERT_TRUE(rig.emulator.Save());
    EXPECT_EQ(Read(work.filePath("saved/java/chess_suite.jar")), "PK-chess");
    EXPECT_EQ(Read(work.filePath("saved/java/suites.utf")), QByteArray("\x00\x06"
                                                                       "chess_",
                                                                       8));
}

TEST(PhoneJobsMenu, TheResumeQuestionsButtonsAreTheWordsItNamesInEitherLanguage) {
    TForm1 form;  // never shown: no port is opened
    TPhoneJobsMenu* menu = form.PhoneJobs;
    ModalAnswerer answers;
    std::vector<std::string> buttons;
    // Notes the buttons' texts, then answers with one of them (or Escape).
    const auto answer = [&](const char* pressed) {
        return [&buttons, pressed](QWidget* w) {
            buttons.clear();
            for (const char* name : {"Yes", "No", "Cancel"}) {
                auto* b = w->findChild<QPushButton*>(QString::fromLatin1(name));
                buttons.push_back(b ? b->text().toStdString() : std::string("<none>"));
            }
            if (pressed)
                ModalAnswerer::Press(w, pressed);
            else
                QTest::keyClick(w, Qt::Key_Escape);
        };
    };

    answers.Then(answer("Yes"));
    EXPECT_EQ(menu->AskToResume("/b/phone-backup-1"), TPhoneJobsMenu::ResumeAnswer::Resume);
    EXPECT_EQ(answers.seen, std::vector<std::string>{
                                "box:Резервная копия телефона:В папке /b/phone-backup-1 есть "
                                "незаконченная резервная копия. Продолжить её?\n«Нет» начнёт "
                                "новую."});
    EXPECT_EQ(buttons, (std::vector<std::string>{"Да", "Нет", "Отмена"}));
    answers.Then(answer("No"));
    EXPECT_EQ(menu->AskToResume("/b/phone-backup-1"), TPhoneJobsMenu::ResumeAnswer::StartNew);
    answers.Then(answer(nullptr));
    EXPECT_EQ(menu->AskToResume("/b/phone-backup-1"), TPhoneJobsMenu::ResumeAnswer::Cancel);

    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/orvo-fm_en.qm")));
    QCoreApplication::installTranslator(&english);
    answers.seen.clear();
    answers.Then(answer("Cancel"));
    EXPECT_EQ(menu->AskToResume("/b/phone-backup-1"), TPhoneJobsMenu::ResumeAnswer::Cancel);
    QCoreApplication::removeTranslator(&english);
    EXPECT_EQ(answers.seen, std::vector<std::string>{
                                "box:Phone backup:The folder /b/phone-backup-1 holds an "
                                "unfinished backup. Continue it?\n\"No\" starts a new one."});
    EXPECT_EQ(buttons, (std::vector<std::string>{"Yes", "No", "Cancel"}));
}
