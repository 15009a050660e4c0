// The dialogs, the phone pane, the watchdog timer, hints and the command line,
// each on its own.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QResizeEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>
#include <tuple>

#include "app/MessageTexts.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AboutForm.h"
#include "ui/CommandLine.h"
#include "ui/ComputerPane.h"
#include "ui/FormActions.h"
#include "ui/ProcessForm.h"

using namespace orvo;

namespace {

// Runs fn once the dialog is up (a modal dialog blocks the caller).
void WhenShown(QDialog* d, std::function<void()> fn) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, d, fn] {
        if (!d->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        fn();
    });
    poll->start(10);
}

TEST(Dialogs, FileExistResults) {
    TFileExistForm f(nullptr);
    QString name = QStringLiteral("b.txt");
    WhenShown(&f, [&] {
        EXPECT_EQ(f.OldName->text(), QStringLiteral("a.txt"));
        EXPECT_EQ(AccessibleName(f.OldName), QStringLiteral("Старое имя: a.txt"));
        EXPECT_EQ(f.NewName->text(), QStringLiteral("b.txt"));
        f.NewName->setText(QStringLiteral("c.txt"));
        f.FexOKBtn->click();
    });
    EXPECT_EQ(f.Ask(QStringLiteral("a.txt"), name), 1);
    EXPECT_EQ(name, QStringLiteral("c.txt"));

    WhenShown(&f, [&] { f.FexOverwriteBtn->click(); });
    EXPECT_EQ(f.Ask(QStringLiteral("a.txt"), name), 5);
    WhenShown(&f, [&] { f.FexCancel->click(); });
    EXPECT_EQ(f.Ask(QStringLiteral("a.txt"), name), 2);
    WhenShown(&f, [&] { f.close(); });  // the close box counts as "Отмена"
    EXPECT_EQ(f.Ask(QStringLiteral("a.txt"), name), 2);
    EXPECT_TRUE(f.FexOKBtn->isDefault());
}

TEST(Dialogs, RenameShowsTheNameAndCloseBoxCancels) {
    TRenameForm f(nullptr);
    QString name = QStringLiteral("ring.mid");
    WhenShown(&f, [&] {
        EXPECT_EQ(f.RenName->text(), QStringLiteral("ring.mid"));
        f.RenName->setText(QStringLiteral("bell.mid"));
        f.close();
    });
    EXPECT_EQ(f.Ask(name), 2);
    EXPECT_EQ(name, QStringLiteral("ring.mid"));
    WhenShown(&f, [&] {
        f.RenName->setText(QStringLiteral("bell.mid"));
        f.RenOK->click();
    });
    EXPECT_EQ(f.Ask(name), 1);
    EXPECT_EQ(name, QStringLiteral("bell.mid"));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Переименовать"));
    EXPECT_EQ(f.size(), QSize(230, 77));
}

TEST(Dialogs, SettingsStoresPortAndSpeedAndCannotBeClosed) {
    TComm32 comm;
    comm.CommPort = "COM3";
    comm.BaudRate = 115200;
    TSettingsForm f(nullptr, comm, {"/dev/first", "/dev/second"});
    ASSERT_GE(f.SelCom->count(), 2);
    EXPECT_EQ(f.SelCom->itemText(0), QStringLiteral("/dev/first"));
    EXPECT_EQ(f.SelCom->itemText(1), QStringLiteral("/dev/second"));
    EXPECT_EQ(f.SelCom->currentIndex(), 0);
    EXPECT_EQ(f.SelSpeed->count(), 2);
    EXPECT_EQ(f.SelSpeed->currentText(), QStringLiteral("115200"));
    EXPECT_TRUE(f.Start->isDefault());
    EXPECT_FALSE(f.windowFlags() & Qt::WindowCloseButtonHint);

    WhenShown(&f, [&] {
        f.close();   // refused
        f.reject();  // Escape: refused
        EXPECT_TRUE(f.isVisible());
        f.SelCom->setCurrentIndex(1);
        f.SelSpeed->setCurrentIndex(1);
        f.SelSpeed->setEditText(QStringLiteral("9600"));  // typed text does not count
        f.Start->click();
    });
    EXPECT_EQ(f.exec(), 1);
    EXPECT_FALSE(f.ExitRequested());
    EXPECT_EQ(comm.CommPort, "/dev/second");
    EXPECT_EQ(comm.BaudRate, 230400u);
}

TEST(Dialogs, SettingsWithoutAnyPortKeepsTheOldOnes) {
    TComm32 comm;
    comm.CommPort = "COM3";
    comm.BaudRate = 115200;
    TSettingsForm f(nullptr, comm, {});
    ASSERT_TRUE(WaitUntil([&] { return f.PortsProbed(); }));  // nothing added later
    f.SelCom->clear();
    ModalAnswerer answers;
    answers.Then(ModalAnswerer::Start());
    answers.Then(ModalAnswerer::Ok());
    EXPECT_EQ(f.exec(), 1);
    ASSERT_EQ(answers.seen.size(), 2u);
    EXPECT_EQ(answers.seen[1].rfind("box:Ошибка:List index out of bounds", 0), 0u)
        << answers.seen[1];
    EXPECT_EQ(comm.CommPort, "COM3");
    EXPECT_EQ(comm.BaudRate, 115200u);
}

TEST(Dialogs, SettingsProbeRunsBesideTheOpenDialog) {
    TComm32 comm;
    std::atomic<bool> release{false};
    QElapsedTimer made;
    made.start();
    TSettingsForm f(nullptr, comm, {"/dev/given"}, [&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return std::vector<std::string>{"/dev/found1", "/dev/given", "/dev/found2"};
    });
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = true; }  // before the dialog waits for its probe
    } releaseOnExit{release};
    // The ports given are there at once and the dialog answers while the probe runs.
    EXPECT_LT(made.elapsed(), 1000);
    ASSERT_EQ(f.SelCom->count(), 1);
    EXPECT_EQ(f.SelCom->currentText(), QStringLiteral("/dev/given"));
    EXPECT_FALSE(f.PortsProbed());
    ModalAnswerer answers;
    int countWhileShown = -1;
    answers.Then([&](QWidget* w) {
        countWhileShown = f.SelCom->count();
        release = true;
        ASSERT_TRUE(WaitUntil([&] { return f.PortsProbed(); }, 5000));
        ModalAnswerer::Press(w, "Start");
    });
    EXPECT_EQ(f.exec(), 1);
    EXPECT_EQ(countWhileShown, 1);
    // The probe's ports follow, once each; the selection made before stays.
    ASSERT_EQ(f.SelCom->count(), 3);
    EXPECT_EQ(f.SelCom->itemText(1), QStringLiteral("/dev/found1"));
    EXPECT_EQ(f.SelCom->itemText(2), QStringLiteral("/dev/found2"));
    EXPECT_EQ(comm.CommPort, "/dev/given");
}

TEST(Dialogs, ProgressRendersTheModelAndAbortIsIdempotent) {
    Session s;
    TProcessForm f(nullptr, s);
    EXPECT_EQ(f.QuickStatus->text(), QStringLiteral("QuickStatus"));
    EXPECT_EQ(f.LongStatus->text(), QStringLiteral("LongStatus"));
    s.Progress.QuickStatus = Text(MessageId::CopyingFile, {"a.txt"});
    s.Progress.ProgressBar1.SetMax(8);
    s.Progress.ProgressBar1.SetPosition(3);
    s.Progress.ProgressBar2.SetMax(0);
    s.Progress.Visible = true;
    f.Render(s.Progress);
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isModal());
    EXPECT_EQ(f.QuickStatus->text(), QStringLiteral("Копируем файл a.txt"));
    EXPECT_EQ(f.ProgressBar1->maximum(), 8);
    EXPECT_EQ(f.ProgressBar1->value(), 3);
    // An empty range shows an empty bar, not a busy indicator.
    EXPECT_GT(f.ProgressBar2->maximum(), f.ProgressBar2->minimum());

    // A long file name is shortened to the dialog's width, never cut off at its edge.
    const std::string longName(64, 'n');
    s.Progress.QuickStatus = Text(MessageId::CopyingToPhone, {longName + ".jar"});
    f.Render(s.Progress);
    EXPECT_LE(f.QuickStatus->geometry().right(), f.ProgressBar1->geometry().right());
    EXPECT_TRUE(f.QuickStatus->text().startsWith(QStringLiteral("Copying to Phone")));
    EXPECT_TRUE(f.QuickStatus->text().endsWith(QStringLiteral(".jar")));
    EXPECT_EQ(f.QuickStatus->toolTip().toStdString(), WordsUtf8(s.Progress.QuickStatus));
    EXPECT_EQ(AccessibleName(f.QuickStatus).toStdString(), WordsUtf8(s.Progress.QuickStatus));
    s.Progress.QuickStatus = Text(MessageId::CopyingFile, {"b.txt"});
    f.Render(s.Progress);
    EXPECT_EQ(f.QuickStatus->text(), QStringLiteral("Копируем файл b.txt"));
    EXPECT_TRUE(f.QuickStatus->toolTip().isEmpty());
    EXPECT_EQ(AccessibleName(f.QuickStatus), QStringLiteral("Копируем файл b.txt"));

    f.close();  // no close box: only the program hides it
    EXPECT_TRUE(f.isVisible());
    f.AbortBtn->click();
    f.AbortBtn->click();
    EXPECT_TRUE(s.AbortRequested);
    EXPECT_EQ(WordsUtf8(s.Progress.LongStatus), "Завершение текущей операции");
    s.Progress.Visible = false;
    f.Render(s.Progress);
    EXPECT_FALSE(f.isVisible());
}

TEST(Dialogs, AboutBox) {
    TAboutForm f(nullptr);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(f.size(), QSize(280, 156));
    EXPECT_TRUE(f.AboutOkBtn->isDefault());
    EXPECT_EQ(f.AboutOkBtn->geometry(), QRect(80, 112, 113, 25));
    bool named = false;
    for (QLabel* l : f.findChildren<QLabel*>()) named |= l->text() == "Orvo File Manager v0.1b";
    EXPECT_TRUE(named);
}

TEST(PhonePane, RowsStaySortedAndKeepTheirBytes) {
    TPhoneList pane;
    pane.AddRow("tricky.bin", "1300", 1);
    pane.AddRow("java", "", 0);
    pane.AddRow("\xC0\xE1\xE2.txt", "5", 1);  // "Абв.txt" in CP1251
    pane.AddRow("Images", "", 0);
    pane.AddRow("readme.txt", "48", 1);
    pane.AddRow("Sounds", "", 0);
    ASSERT_EQ(pane.Count(), 6);
    std::vector<std::string> shown;
    for (int i = 0; i < pane.Count(); ++i) {
        shown.push_back(TPhoneList::DisplayText(pane.Caption(i)).toStdString());
    }
    // Latin letters alphabetically regardless of case; Cyrillic after Latin.
    EXPECT_EQ(shown, (std::vector<std::string>{"Images", "java", "readme.txt", "Sounds",
                                               "tricky.bin", "Абв.txt"}));
    EXPECT_EQ(pane.Caption(5), "\xC0\xE1\xE2.txt");
    EXPECT_EQ(pane.SizeText(4), "1300");
    EXPECT_EQ(pane.Image(0), 0);
    EXPECT_EQ(pane.Image(2), 1);

    EXPECT_EQ(pane.ItemIndex(), -1);
    EXPECT_EQ(pane.SelCount(), 0);
    pane.SetSelected(4, true);
    pane.SetSelected(2, true);
    EXPECT_EQ(pane.SelCount(), 2);
    EXPECT_EQ(pane.ItemIndex(), 2);
    pane.SetSelected(2, false);
    EXPECT_EQ(pane.ItemIndex(), 4);
    EXPECT_FALSE(pane.header()->sectionsClickable());
    EXPECT_EQ(pane.header()->sectionSize(0), 270);
    EXPECT_EQ(pane.header()->sectionSize(1), 70);
    EXPECT_EQ(pane.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_THROW(pane.Caption(6), std::out_of_range);
    pane.Clear();
    EXPECT_EQ(pane.Count(), 0);
}

class MainWindowAlone : public ::testing::Test {
  protected:
    void SetUp() override {
        form.OnExit = [] {};
        ManualClock(form, true);
    }
    TForm1 form;
};

TEST_F(MainWindowAlone, ControlsSitAtTheirDesignPlaces) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("OrvoFileManager v0.1b"));
    EXPECT_EQ(form.minimumSize(), QSize(600, 420));
    EXPECT_EQ(form.maximumSize(), QSize(1200, 840));
    EXPECT_EQ(form.size(), QSize(600, 420));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    // At the design's client size every control is exactly where it was drawn.
    QWidget* client = form.centralWidget();
    const QSize design(TForm1::kDesignWidth, TForm1::kDesignHeight);
    client->resize(design);
    QResizeEvent resized(design, design);
    QApplication::sendEvent(client, &resized);
    const std::vector<std::tuple<QWidget*, QString, QRect>> controls = {
        {Named<TShellList>(&form, "Source"), QString(), QRect(0, 24, 217, 281)},
        {Named<TPhoneList>(&form, "ListPhone"), QString(), QRect(224, 24, 368, 281)},
        {Named<QPushButton>(&form, "ParentCompBtn"), QStringLiteral("Назад"), QRect(0, 0, 214, 17)},
        {Named<QPushButton>(&form, "ParentPhoneBtn"), QStringLiteral("Назад"),
         QRect(224, 0, 369, 17)},
        {Named<QPushButton>(&form, "CopyToPhoneBtn"), QStringLiteral("Копировать -->"),
         QRect(0, 312, 97, 20)},
        {Named<QPushButton>(&form, "CopyToCompBtn"), QStringLiteral("<-- Копия"),
         QRect(232, 312, 65, 20)},
        {Named<QPushButton>(&form, "RenameBtn"), QStringLiteral("Переимен."),
         QRect(304, 312, 65, 20)},
        {Named<QPushButton>(&form, "CompileJavaBtn"), QStringLiteral("Compile Java"),
         QRect(376, 312, 65, 20)},
        {Named<QPushButton>(&form, "RescanBtn"), QStringLiteral("Перечитать"),
         QRect(448, 312, 65, 20)},
        {Named<QPushButton>(&form, "DeleteBtn"), QStringLiteral("Удалить"),
         QRect(520, 312, 65, 20)},
    };
    for (const auto& [widget, caption, place] : controls) {
        EXPECT_EQ(widget->geometry(), place) << widget->objectName().toStdString();
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), caption);
            EXPECT_FALSE(button->isDefault());
            // The caption fits its button, if need be in a smaller type.
            EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(caption), place.width())
                << caption.toStdString();
        }
    }
    EXPECT_EQ(
        Named<TPhoneList>(&form, "ListPhone")->model()->headerData(0, Qt::Horizontal).toString(),
        QStringLiteral("Name"));
    EXPECT_EQ(
        Named<TPhoneList>(&form, "ListPhone")->model()->headerData(1, Qt::Horizontal).toString(),
        QStringLiteral("Size"));
    EXPECT_EQ(form.Comm321->CommPort, "COM3");
    EXPECT_EQ(form.Comm321->BaudRate, 115200u);
    EXPECT_EQ(form.Comm321->Bits, 8);
}

TEST_F(MainWindowAlone, MenuItemsInOrder) {
    auto texts = [](const QList<QAction*>& actions) {
        std::vector<std::string> out;
        for (QAction* a : actions) out.push_back(a->text().toStdString());
        return out;
    };
    EXPECT_EQ(texts(form.menuBar()->actions()),
              (std::vector<std::string>{"Файл", "Действия", "Помощь"}));
    EXPECT_EQ(texts(Named<QMenu>(&form, "FileMenu")->actions()),
              (std::vector<std::string>{"Установки", "Резервная копия телефона…", "Восстановить…",
                                        "", "Выход"}));
    EXPECT_EQ(texts(Named<QMenu>(&form, "Actions1")->actions()),
              (std::vector<std::string>{"CompileJava", "Установить Java-приложение…"}));
    EXPECT_EQ(texts(Named<QMenu>(&form, "Help1")->actions()),
              (std::vector<std::string>{"Помощь", "Записывать обмен с телефоном", "О программе"}));
    EXPECT_EQ(Named<QAction>(&form, "CompileJava1")->statusTip(),
              QStringLiteral("Компилировать JAVA"));
    EXPECT_TRUE(Named<QAction>(&form, "Settings1")->statusTip().isEmpty());
    EXPECT_TRUE(Named<QAction>(&form, "Exit1")->statusTip().isEmpty());

    // "Выход" ends the program at once: no dialog, nothing sent, no port opened.
    bool ended = false;
    form.OnExit = [&] { ended = true; };
    Named<QAction>(&form, "Exit1")->trigger();
    EXPECT_TRUE(ended);
    EXPECT_TRUE(form.ExitRequested());
    EXPECT_FALSE(form.Comm321->IsOpen());
}

TEST_F(MainWindowAlone, EachOperationIsOneActionThatItsButtonAndMenusShow) {
    // Button, action, and the menu the action is in (a pane's context menu or "Действия").
    const std::vector<std::tuple<const char*, const char*, QWidget*>> operations = {
        {"ParentCompBtn", "UpComp1", Named<TShellList>(&form, "Source")},
        {"HomeBtn", "HomeComp1", Named<TShellList>(&form, "Source")},
        {"CopyToPhoneBtn", "CopyToPhone1", Named<TShellList>(&form, "Source")},
        {"ParentPhoneBtn", "UpPhone1", Named<TPhoneList>(&form, "ListPhone")},
        {"CopyToCompBtn", "CopyToComp1", Named<TPhoneList>(&form, "ListPhone")},
        {"RenameBtn", "RenamePhone1", Named<TPhoneList>(&form, "ListPhone")},
        {"RescanBtn", "RereadPhone1", Named<TPhoneList>(&form, "ListPhone")},
        {"DeleteBtn", "DeletePhone1", Named<TPhoneList>(&form, "ListPhone")},
        {"CompileJavaBtn", "CompileJava1", Named<QMenu>(&form, "Actions1")},
    };
    for (const auto& [buttonName, actionName, menu] : operations) {
        auto* button = Named<QAbstractButton>(&form, buttonName);
        auto* action = Named<TFormAction>(&form, actionName);
        ASSERT_TRUE(button && action && menu) << buttonName;
        EXPECT_TRUE(menu->actions().contains(action)) << actionName;
        EXPECT_EQ(button->text(), action->iconText()) << buttonName;
        EXPECT_EQ(AccessibleDescription(button), action->DescriptionWithKeys()) << buttonName;
        // One switch for the button, the menu item and the keys.
        action->setEnabled(false);
        EXPECT_FALSE(button->isEnabled()) << buttonName;
        action->setEnabled(true);
        EXPECT_TRUE(button->isEnabled()) << buttonName;
    }
    // The descriptions name the keys as the help box does.
    EXPECT_EQ(AccessibleDescription(Named<QWidget>(&form, "DeleteBtn")),
              QStringLiteral("Удалить выделенные файлы телефона (Delete, F8)"));
    EXPECT_EQ(AccessibleDescription(Named<QWidget>(&form, "ParentPhoneBtn")),
              QStringLiteral("Перейти в папку выше на телефоне (Backspace, Alt+Вверх)"));
    EXPECT_EQ(AccessibleDescription(Named<QWidget>(&form, "CompileJavaBtn")),
              QStringLiteral("Компилировать JAVA"));
    // A click on the button is the action's.
    int homes = 0;
    QObject::connect(Named<QAction>(&form, "HomeComp1"), &QAction::triggered, [&] { ++homes; });
    Named<QAbstractButton>(&form, "HomeBtn")->click();
    EXPECT_EQ(homes, 1);
}

TEST_F(MainWindowAlone, HelpBoxListsTheKeysOfTheActions) {
    ModalAnswerer answers;
    answers.Then(ModalAnswerer::Ok());
    Named<QAction>(&form, "Help2")->trigger();
    EXPECT_EQ(answers.seen,
              std::vector<std::string>{
                  "box:Помощь:Слева - файлы компьютера, справа - папка телефона.\n"
                  "Двойной щелчок открывает папку, \"Назад\" ведёт в папку выше.\n"
                  "\"Копировать -->\" записывает выделенные слева файлы в открытую папку "
                  "телефона (в корень, Sounds, Images и My Photos файлы не копируются).\n"
                  "\"<-- Копия\" сохраняет выделенные файлы телефона в папку, открытую слева.\n"
                  "Порт и скорость меняются в меню Файл - Установки.\n"
                  "Файлы можно перетаскивать между панелями и из других программ на панель "
                  "телефона.\n"
                  "\n"
                  "Клавиши (в панели, где курсор; то же в меню правой кнопки мыши):\n"
                  "Enter - открыть папку; Backspace, Alt+Вверх - папка выше;\n"
                  "Tab - другая панель; F5 - копировать в другую панель;\n"
                  "F2 - переименовать файл телефона; Delete, F8 - удалить файлы телефона;\n"
                  "Ctrl+R - перечитать; Ctrl+A - выделить всё; буква - к строке на эту букву;\n"
                  "Ctrl+H - скрытые файлы компьютера; Alt+Home - домашняя папка."});
    // An action's keys changed: the list follows.
    Named<QAction>(&form, "RenamePhone1")->setShortcut(QKeySequence(Qt::Key_F6));
    answers.Then(ModalAnswerer::Ok());
    Named<QAction>(&form, "Help2")->trigger();
    ASSERT_EQ(answers.seen.size(), 2u);
    EXPECT_NE(answers.seen[1].find("F6 - переименовать файл телефона;"), std::string::npos);
}

TEST(Dialogs, SettingsLabelsStandBeforeTheirLists) {
    TComm32 comm;
    TSettingsForm f(nullptr, comm, {"/dev/first"});
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(f.size(), QSize(295, 122));
    EXPECT_EQ(f.Start->geometry(), QRect(8, 88, 121, 25));
    EXPECT_EQ(f.CancelSetBtn->geometry(), QRect(160, 88, 121, 25));
    EXPECT_EQ(f.SelCom->geometry().topLeft(), QPoint(152, 16));
    EXPECT_EQ(f.SelSpeed->geometry().topLeft(), QPoint(152, 48));
    const std::vector<std::pair<const char*, QComboBox*>> rows = {{"Label1", f.SelCom},
                                                                  {"Label2", f.SelSpeed}};
    for (const auto& [name, list] : rows) {
        auto* label = f.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        // Neither cut off nor under the list, and on the list's line.
        EXPECT_GE(label->x(), 0) << name;
        EXPECT_LT(label->geometry().right(), list->x()) << name;
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width());
        EXPECT_LT(std::abs(label->geometry().center().y() - list->geometry().center().y()), 6)
            << name;
    }
}

TEST(ComputerPane, RereadShowsAFileThatGrewAndKeepsTheSelection) {
    // A download creates its file empty and then writes it; re-reading the folder
    // must show the final size, with the selection where it was.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString grown = dir.filePath(QStringLiteral("grown.bin"));
    for (const QString& name : {grown, dir.filePath(QStringLiteral("other.txt"))}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TShellList pane;
    ASSERT_TRUE(pane.SetFolder(dir.path()));
    ASSERT_TRUE(WaitUntil([&] { return pane.Loaded() && pane.Count() == 2; }));
    int row = -1;
    for (int i = 0; i < pane.Count(); ++i) {
        if (QString::fromStdString(pane.ItemPath(i)) == grown)
            row = i;
    }
    ASSERT_GE(row, 0);
    const QModelIndex index = pane.Model()->index(grown);
    ASSERT_TRUE(WaitUntil([&] { return pane.Model()->fileInfo(index).exists(); }));
    EXPECT_EQ(pane.Model()->size(index), 0);
    pane.SetSelected(row, true);

    {
        QFile f(grown);
        ASSERT_TRUE(f.open(QIODevice::Append));
        ASSERT_EQ(f.write(QByteArray(1500, 'x')), 1500);
        // A later modification time than the one the pane has seen.
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(10),
                                  QFileDevice::FileModificationTime));
    }
    pane.Refresh();
    EXPECT_TRUE(
        WaitUntil([&] { return pane.Model()->size(pane.Model()->index(grown)) == 1500; }, 10000));
    EXPECT_EQ(pane.FolderPath(), QDir::cleanPath(dir.path()).toStdString());
    EXPECT_EQ(pane.Count(), 2);
    EXPECT_TRUE(pane.Selected(row));
    EXPECT_EQ(pane.SelCount(), 1);
}

TEST_F(MainWindowAlone, TimerFollowsTheWatchdogModel) {
    Session& s = form.session();
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 2000);
    s.SetTimerInterval(1000);
    EXPECT_FALSE(form.Timer1->isActive());
    s.TimerOn();
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 1000);
    EXPECT_TRUE(WaitUntil([&] { return form.Timer1->remainingTime() < 900; }, 5000));
    // Off and on again restarts the full interval.
    s.TimerOff();
    EXPECT_FALSE(form.Timer1->isActive());
    s.TimerOn();
    EXPECT_GT(form.Timer1->remainingTime(), 900);
    s.SetTimerInterval(10000);
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 10000);
    s.TimerOff();
}

TEST_F(MainWindowAlone, ModelsReachTheWidgets) {
    Session& s = form.session();
    EXPECT_EQ(Named<QLabel>(&form, "StatusPanel")->text(), QStringLiteral("Orvo"));
    s.EnableMainWindow(false);
    s.SetStatusText(Text(MessageId::RereadingCurrentFolder));
    EXPECT_FALSE(form.isEnabled());
    EXPECT_EQ(Named<QLabel>(&form, "StatusPanel")->text(),
              QStringLiteral("Перечитываем текущую папку"));
    s.ShowProgress();
    EXPECT_TRUE(form.ProcessForm->isVisible());
    EXPECT_TRUE(form.ProcessForm->isEnabled());  // usable while the main window is not
    s.CloseProgress();
    EXPECT_FALSE(form.ProcessForm->isVisible());
    s.EnableMainWindow(true);
    EXPECT_TRUE(form.isEnabled());
}

TEST_F(MainWindowAlone, HintsAndStatusPanel) {
    EXPECT_EQ(Named<QPushButton>(&form, "ParentCompBtn")->toolTip(),
              QStringLiteral("На каталог выше"));
    EXPECT_EQ(Named<QPushButton>(&form, "ParentCompBtn")->statusTip(),
              QStringLiteral("Переход в надкаталог"));
    EXPECT_EQ(Named<QPushButton>(&form, "CopyToPhoneBtn")->toolTip(),
              QStringLiteral("Копировать на правую панель"));
    EXPECT_EQ(Named<QPushButton>(&form, "CopyToPhoneBtn")->statusTip(),
              QStringLiteral("Копировать на правую панель"));
    EXPECT_EQ(Named<QPushButton>(&form, "DeleteBtn")->statusTip(),
              QStringLiteral("Удалить выделенные файлы"));
    EXPECT_EQ(Named<QAction>(&form, "About1")->statusTip(),
              QStringLiteral("Информация о программе"));
    EXPECT_TRUE(Named<QPushButton>(&form, "RescanBtn")->toolTip().isEmpty());

    QStatusTipEvent over(QStringLiteral("Переход в надкаталог"));
    QApplication::sendEvent(&form, &over);
    EXPECT_EQ(Named<QLabel>(&form, "StatusPanel")->text(), QStringLiteral("Переход в надкаталог"));
    QStatusTipEvent away{QString()};
    QApplication::sendEvent(&form, &away);
    EXPECT_EQ(Named<QLabel>(&form, "StatusPanel")->text(), QStringLiteral("Orvo"));
    EXPECT_TRUE(form.statusBar()->currentMessage().isEmpty());
}

TEST_F(MainWindowAlone, ErrorsInHandlersAreReportedNotThrown) {
    // A conversion error from the reply engine surfaces as a message box.
    ModalAnswerer answers;
    answers.Then(ModalAnswerer::Ok());
    Session& s = form.session();
    s.CurrentOperation = OperationState::Listing;
    const std::string bad = "+FSDL: \"x.txt\",abc\r\n";
    form.Comm321->OnReceiveData(form.Comm321, reinterpret_cast<const uint8_t*>(bad.data()),
                                static_cast<uint16_t>(bad.size()));
    ASSERT_EQ(answers.seen.size(), 1u);
    EXPECT_EQ(answers.seen[0].rfind("box:Ошибка:", 0), 0u) << answers.seen[0];
}

TEST(CommandLine, PortsAndDisplay) {
    ProgramOptions o = ParseCommandLine(
        {"orvo-fm", "--port", "/dev/pts/3", "-style", "fusion", "--port=/dev/pts/4"});
    EXPECT_EQ(o.ports, (std::vector<std::string>{"/dev/pts/3", "/dev/pts/4"}));
    EXPECT_TRUE(o.error.empty());
    EXPECT_FALSE(ParseCommandLine({"orvo-fm", "--port"}).error.empty());

    auto env = [](std::map<std::string, std::string> vars) {
        return [vars](const char* name) -> const char* {
            auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    };
    EXPECT_FALSE(DisplayAvailable(env({}), {"orvo-fm"}));
    EXPECT_FALSE(DisplayAvailable(env({{"DISPLAY", ""}}), {"orvo-fm"}));
    EXPECT_TRUE(DisplayAvailable(env({{"DISPLAY", ":0"}}), {"orvo-fm"}));
    EXPECT_TRUE(DisplayAvailable(env({{"WAYLAND_DISPLAY", "wayland-0"}}), {"orvo-fm"}));
    EXPECT_TRUE(DisplayAvailable(env({{"QT_QPA_PLATFORM", "offscreen"}}), {"orvo-fm"}));
    EXPECT_TRUE(DisplayAvailable(env({}), {"orvo-fm", "-platform", "offscreen"}));
}

}  // namespace
