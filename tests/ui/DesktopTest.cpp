// The form on a desktop: keys, screen-reader names, the computer pane's hidden
// files and path bar, the status bar, the progress lines, remembered settings and
// a larger font.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QResizeEvent>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <set>

#include "app/Language.h"
#include "app/MessageTexts.h"
#include "app/TransferMeter.h"
#include "phonefs/PhoneTree.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ComputerPane.h"
#include "ui/FormPlacement.h"
#include "ui/PhoneJobsMenu.h"
#include "ui/ProcessForm.h"

using namespace orvo;

namespace {

void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(w, key, mods);
}

class Desktop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.StartAndWait());
        QApplication::setActiveWindow(rig.form.get());
        rig.pane()->setFocus();
        ASSERT_TRUE(WaitUntil([&] { return rig.pane()->hasFocus(); }, 5000));
    }
    void Cursor(const std::string& caption) {
        const int row = rig.Row(caption);
        ASSERT_GE(row, 0) << caption;
        rig.pane()->SetCurrentRow(row);
    }
    std::string Folder() { return rig.s().CurrentFolder->Name; }
    ProgramRig rig;
};

TEST_F(Desktop, KeysMoveThroughThePhoneFolders) {
    TPhoneList* pane = rig.pane();
    rig.port->sent.clear();
    Cursor("readme.txt");
    Key(pane, Qt::Key_Return);  // a file: nothing
    EXPECT_EQ(rig.s().CurrentFolder, rig.s().PhoneTree.get());
    Cursor("Sounds");
    Key(pane, Qt::Key_Return);
    EXPECT_EQ(Folder(), "Sounds");
    Cursor("My Sounds");
    Key(pane, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Folder(), "My Sounds");
    Key(pane, Qt::Key_Backspace);
    EXPECT_EQ(Folder(), "Sounds");
    Key(pane, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(rig.s().CurrentFolder, rig.s().PhoneTree.get());
    EXPECT_EQ(rig.port->sent, "");

    // A letter goes to the next row starting with it; Ctrl+A takes every row.
    Cursor("Images");
    QTest::keyClicks(pane, QStringLiteral("s"));
    EXPECT_EQ(pane->CurrentRow(), rig.Row("Sounds"));
    // The next letter starts a search of its own once the typing pause has passed.
    QElapsedTimer typed;
    typed.start();
    ASSERT_TRUE(WaitUntil([&] { return typed.elapsed() > QApplication::keyboardInputInterval(); }));
    QTest::keyClicks(pane, QStringLiteral("r"));
    EXPECT_EQ(pane->CurrentRow(), rig.Row("readme.txt"));
    Key(pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane->SelCount(), pane->Count());

    // Tab goes to the other pane and back.
    Key(pane, Qt::Key_Tab);
    EXPECT_TRUE(rig.Get<TShellList>("Source")->hasFocus());
    Key(rig.Get<TShellList>("Source"), Qt::Key_Tab);
    EXPECT_TRUE(pane->hasFocus());
    Key(pane, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(rig.Get<TShellList>("Source")->hasFocus());
}

TEST_F(Desktop, KeysStartThePhonePaneOperationsAndFocusComesBack) {
    TPhoneList* pane = rig.pane();
    pane->clearSelection();
    pane->SetSelected(rig.Row("readme.txt"), true);
    Key(pane, Qt::Key_F2);
    ASSERT_TRUE(WaitUntil([&] { return rig.answers.Count("rename") == 1; }, 5000));
    ASSERT_TRUE(
        WaitUntil([&] { return rig.form->isEnabled() && !QApplication::activeModalWidget(); }));

    // The keyboard is back in the pane; Ctrl+R re-reads (the root: a caching pass).
    ASSERT_TRUE(WaitUntil([&] { return rig.form->focusWidget() == pane; }, 5000));
    QApplication::setActiveWindow(rig.form.get());
    const PhoneNode* before = rig.s().PhoneTree.get();
    rig.port->sent.clear();
    Key(pane, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return rig.s().PhoneTree.get() != before; }));
    ASSERT_TRUE(rig.WaitReady());
    EXPECT_EQ(rig.port->sent, CachingPassListings());
    EXPECT_TRUE(WaitUntil([&] { return rig.form->focusWidget() == pane; }, 5000));

    // Delete and F8 start what "Удалить" starts: its question or its commands.
    for (auto [key, name] : {std::pair{Qt::Key_Delete, "readme.txt"}, {Qt::Key_F8, "tricky.bin"}}) {
        pane->clearSelection();
        pane->SetSelected(rig.Row(name), true);
        const std::size_t seen = rig.answers.seen.size();
        rig.port->sent.clear();
        QApplication::setActiveWindow(rig.form.get());
        pane->setFocus();
        Key(pane, key);
        EXPECT_TRUE(WaitUntil(
            [&] { return rig.answers.seen.size() > seen || !rig.port->sent.empty(); }, 5000))
            << name;
        ASSERT_TRUE(
            WaitUntil([&] { return rig.form->isEnabled() && !QApplication::activeModalWidget(); }));
    }

    // A return still on its way when the user puts the keyboard into the other pane
    // leaves the keyboard where the user put it.
    ASSERT_TRUE(WaitUntil([&] { return pane->hasFocus(); }, 5000));
    rig.s().EnableMainWindow(false);
    rig.s().EnableMainWindow(true);  // queues the return to the phone pane
    rig.Get<TShellList>("Source")->setFocus();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(rig.Get<TShellList>("Source")->hasFocus());
    rig.Get<TPhoneList>("ListPhone")->setFocus();

    // The context menu lists the pane's operations with their keys.
    std::set<QString> keys;
    for (QAction* a : pane->actions()) keys.insert(a->shortcut().toString());
    for (const char* k : {"Return", "Backspace", "F5", "F2", "Del", "Ctrl+R", "Ctrl+A"})
        EXPECT_TRUE(keys.count(QString::fromLatin1(k))) << k;
    EXPECT_EQ(pane->contextMenuPolicy(), Qt::ActionsContextMenu);
}

TEST_F(Desktop, ScreenReadersHearWhichPaneAndWhichControl) {
    TForm1& f = *rig.form;
    EXPECT_EQ(AccessibleName(Named<TShellList>(&f, "Source")), QStringLiteral("Компьютер"));
    EXPECT_EQ(AccessibleName(Named<TPhoneList>(&f, "ListPhone")), QStringLiteral("Телефон: /"));
    Cursor("Sounds");
    Key(rig.pane(), Qt::Key_Return);
    Cursor("My Sounds");
    Key(rig.pane(), Qt::Key_Return);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return AccessibleName(Named<TPhoneList>(&f, "ListPhone")) ==
                   QStringLiteral("Телефон: Sounds/My Sounds");
        },
        5000));

    // Every control of the window has a name of its own; the captions stay.
    std::set<QString> names;
    for (QWidget* w : {static_cast<QWidget*>(Named<QPushButton>(&f, "ParentCompBtn")),
                       static_cast<QWidget*>(Named<QPushButton>(&f, "ParentPhoneBtn")),
                       static_cast<QWidget*>(Named<QPushButton>(&f, "CopyToPhoneBtn")),
                       static_cast<QWidget*>(Named<QPushButton>(&f, "CopyToCompBtn")),
                       static_cast<QWidget*>(Named<QPushButton>(&f, "RenameBtn")),
                       static_cast<QWidget*>(Named<QPushButton>(&f, "CompileJavaBtn")),
                       static_cast<QWidget*>(Named<QPushButton>(&f, "RescanBtn")),
                       static_cast<QWidget*>(Named<QPushButton>(&f, "DeleteBtn")),
                       static_cast<QWidget*>(Named<TShellList>(&f, "Source")),
                       static_cast<QWidget*>(Named<TPhoneList>(&f, "ListPhone")),
                       static_cast<QWidget*>(Named<QLineEdit>(&f, "PathEdit")),
                       static_cast<QWidget*>(Named<QToolButton>(&f, "HomeBtn"))}) {
        const QString name = AccessibleName(w);
        EXPECT_FALSE(name.isEmpty()) << w->objectName().toStdString();
        EXPECT_TRUE(names.insert(name).second) << name.toStdString();
        EXPECT_FALSE(AccessibleDescription(w).isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_EQ(Named<QPushButton>(&f, "ParentCompBtn")->text(), QStringLiteral("Назад"));
    EXPECT_EQ(Named<QPushButton>(&f, "ParentPhoneBtn")->text(), QStringLiteral("Назад"));
    EXPECT_TRUE(AccessibleName(Named<QPushButton>(&f, "ParentCompBtn"))
                    .contains(QStringLiteral("компьютер")));
    EXPECT_TRUE(AccessibleName(Named<QPushButton>(&f, "ParentPhoneBtn"))
                    .contains(QStringLiteral("телефон")));

    // The dialogs' inputs and bars.
    EXPECT_FALSE(AccessibleName(f.RenameForm->RenName).isEmpty());
    EXPECT_FALSE(AccessibleName(f.FileExistForm->NewName).isEmpty());
    EXPECT_NE(AccessibleName(f.RenameForm->RenName), AccessibleName(f.FileExistForm->NewName));
    const QString bar1 = AccessibleName(f.ProcessForm->ProgressBar1);
    EXPECT_FALSE(bar1.isEmpty());
    EXPECT_NE(bar1, AccessibleName(f.ProcessForm->ProgressBar2));
    const QString port = AccessibleName(f.SettingsForm->SelCom);
    EXPECT_FALSE(port.isEmpty());
    EXPECT_NE(port, AccessibleName(f.SettingsForm->SelSpeed));
}

TEST_F(Desktop, StatusBarShowsThePortAndTheSelection) {
    TForm1& f = *rig.form;
    EXPECT_EQ(Named<QLabel>(&f, "StatusPanel")->text().toStdString(),
              "Порт " + rig.emulator.pty + ", 115200 бит/с");
    // A screen reader hears what the panels show.
    EXPECT_EQ(AccessibleName(Named<QLabel>(&f, "StatusPanel")),
              Named<QLabel>(&f, "StatusPanel")->text());
    rig.pane()->clearSelection();
    rig.pane()->SetSelected(rig.Row("readme.txt"), true);
    rig.pane()->SetSelected(rig.Row("tricky.bin"), true);
    const long long total = std::stoll(rig.pane()->SizeText(rig.Row("readme.txt"))) +
                            std::stoll(rig.pane()->SizeText(rig.Row("tricky.bin")));
    EXPECT_EQ(Named<QLabel>(&f, "SelectionPanel")->text().toStdString(),
              "Выделено: 2, " + FormatBytes(total));
    EXPECT_EQ(AccessibleName(Named<QLabel>(&f, "SelectionPanel")).toStdString(),
              "Выделено: 2, " + FormatBytes(total));
    rig.pane()->clearSelection();
    EXPECT_EQ(Named<QLabel>(&f, "SelectionPanel")->text(), QString());
}

TEST(ComputerPane, HiddenFilesPathBarAndChangesOnDisk) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {".hidden", "shown.txt"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("12345");
    }
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    TForm1 form;
    form.OnExit = [] {};
    ManualClock(form, true);
    TShellList* pane = Named<TShellList>(&form, "Source");
    ASSERT_TRUE(pane->SetFolder(dir.path()));
    EXPECT_EQ(Named<QLineEdit>(&form, "PathEdit")->text(), QDir::cleanPath(dir.path()));
    ASSERT_TRUE(WaitUntil([&] { return pane->Loaded() && pane->Count() == 2; }));

    ModalAnswerer answers;  // the settings dialog at the start is left with "Выход"
    form.show();
    ASSERT_TRUE(WaitUntil([&] { return answers.Count("settings") == 1 && form.ExitRequested(); }));
    QApplication::setActiveWindow(&form);
    pane->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return pane->hasFocus(); }, 5000));
    Key(pane, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(Named<QAction>(&form, "ShowHidden1")->isChecked());
    EXPECT_TRUE(WaitUntil([&] { return pane->Count() == 3; }));
    Key(pane, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return pane->Count() == 2; }));

    // A file made by another program shows up by itself.
    {
        QFile f(dir.filePath(QStringLiteral("new.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_TRUE(WaitUntil([&] { return pane->Count() == 3; }, 10000));

    // Return on a folder opens it; Backspace goes back; a typed path is opened.
    const QModelIndex sub = pane->Model()->index(dir.filePath(QStringLiteral("sub")));
    pane->setCurrentIndex(sub);
    Key(pane, Qt::Key_Return);
    EXPECT_EQ(pane->FolderPath(),
              QDir::cleanPath(dir.filePath(QStringLiteral("sub"))).toStdString());
    EXPECT_EQ(Named<QLineEdit>(&form, "PathEdit")->text(),
              QDir::cleanPath(dir.filePath(QStringLiteral("sub"))));
    Key(pane, Qt::Key_Backspace);
    EXPECT_EQ(pane->FolderPath(), QDir::cleanPath(dir.path()).toStdString());
    Named<QLineEdit>(&form, "PathEdit")->setFocus();
    Named<QLineEdit>(&form, "PathEdit")->setText(QStringLiteral("/usr"));
    Key(Named<QLineEdit>(&form, "PathEdit"), Qt::Key_Return);
    EXPECT_EQ(pane->FolderPath(), "/usr");
    Named<QToolButton>(&form, "HomeBtn")->click();
    EXPECT_EQ(pane->FolderPath(), QDir::homePath().toStdString());

    // A path that is no folder: a message, and the pane stays where it was.
    answers.Then(ModalAnswerer::Ok());
    Named<QLineEdit>(&form, "PathEdit")->setFocus();
    Named<QLineEdit>(&form, "PathEdit")->setText(dir.filePath(QStringLiteral("shown.txt")));
    Key(Named<QLineEdit>(&form, "PathEdit"), Qt::Key_Return);
    ASSERT_EQ(answers.seen.size(), 2u);
    EXPECT_EQ(answers.seen[1].rfind("box:Ошибка:", 0), 0u);
    EXPECT_EQ(pane->FolderPath(), QDir::homePath().toStdString());
    EXPECT_EQ(Named<QLineEdit>(&form, "PathEdit")->text(), QDir::homePath());

    // The folder shown is removed: the pane goes to the folder above it.
    const QString sub2 = dir.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(pane->SetFolder(sub2));
    ASSERT_TRUE(QDir(sub2).removeRecursively());
    EXPECT_TRUE(WaitUntil(
        [&] { return pane->FolderPath() == QDir::cleanPath(dir.path()).toStdString(); }, 10000));
    EXPECT_EQ(Named<QLineEdit>(&form, "PathEdit")->text(), QDir::cleanPath(dir.path()));
}

TEST(Dialogs, ProgressLinesGiveBytesSpeedAndTimeLeft) {
    Session s;
    TProcessForm f(nullptr, s);
    int64_t now = 0;
    f.Clock = [&] { return now; };
    s.ProgressSink = &f;
    s.StartTransferBatch(4096 + 2048);
    s.StartTransferFile("a.bin", 4096);
    s.Progress.Visible = true;
    f.Render(s.Progress);
    EXPECT_EQ(f.FileLine->text(), QStringLiteral("0 Б из 4,0 КБ"));
    EXPECT_EQ(f.BatchLine->text(), QStringLiteral("0 Б из 6,0 КБ"));
    now = 1000;
    TransferProgress p{"a.bin", 1024, 4096, 1024, 6144};
    f.TransferProgressed(p);
    f.ShowRates();
    EXPECT_EQ(f.FileLine->text(), QStringLiteral("1,0 КБ из 4,0 КБ, 1,0 КБ/с, осталось 0:03"));
    EXPECT_EQ(f.BatchLine->text(), QStringLiteral("1,0 КБ из 6,0 КБ, 1,0 КБ/с, осталось 0:05"));
    // A screen reader hears which line and its figures.
    EXPECT_EQ(AccessibleName(f.FileLine),
              QStringLiteral("Файл: 1,0 КБ из 4,0 КБ, 1,0 КБ/с, осталось 0:03"));
    EXPECT_EQ(AccessibleName(f.BatchLine),
              QStringLiteral("Всего: 1,0 КБ из 6,0 КБ, 1,0 КБ/с, осталось 0:05"));
    // No bytes for a second: the speed falls and the time left grows.
    now = 2000;
    f.ShowRates();
    EXPECT_EQ(f.FileLine->text(), QStringLiteral("1,0 КБ из 4,0 КБ, 512 Б/с, осталось 0:06"));
    // Redrawn by a timer between twice and ten times a second.
    EXPECT_GE(TProcessForm::kRateInterval, 100);
    EXPECT_LE(TProcessForm::kRateInterval, 500);
    s.ProgressSink = nullptr;
}

TEST(Dialogs, SettingsRememberThePortAndSpeedAndTakeATypedPath) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("orvo-fm.conf"));
    const auto noProbe = [] { return std::vector<std::string>{}; };
    {
        TComm32 comm;
        TSettingsForm f(nullptr, comm, {"/dev/first", "/dev/second"}, noProbe);
        f.Describe = [](const std::string& p) {
            return p == "/dev/second" ? std::string("Maker Cable (1234:5678)") : std::string();
        };
        f.UseSettings(file);
        ASSERT_TRUE(WaitUntil([&] { return f.PortsProbed(); }));
        EXPECT_EQ(f.SelCom->currentIndex(), 0);  // nothing remembered yet
        EXPECT_EQ(f.SelCom->itemData(1, Qt::ToolTipRole).toString(),
                  QStringLiteral("Maker Cable (1234:5678)"));
        f.SelCom->setCurrentIndex(1);
        f.SelSpeed->setCurrentIndex(1);
        f.StartClick();
        EXPECT_EQ(comm.CommPort, "/dev/second");
    }
    {
        TComm32 comm;
        TSettingsForm f(nullptr, comm, {"/dev/first", "/dev/second"}, noProbe);
        f.UseSettings(file);
        EXPECT_EQ(f.SelCom->currentText(), QStringLiteral("/dev/second"));
        EXPECT_EQ(f.SelSpeed->currentText(), QStringLiteral("230400"));
        // A path typed into the box is used as it is, and remembered.
        f.SelCom->setEditText(QStringLiteral("/dev/pts/77"));
        f.StartClick();
        EXPECT_EQ(comm.CommPort, "/dev/pts/77");
        EXPECT_EQ(comm.BaudRate, 230400u);
    }
    QSettings saved(file, QSettings::IniFormat);
    EXPECT_EQ(saved.value(QStringLiteral("port/path")).toString(), QStringLiteral("/dev/pts/77"));
    {
        // A remembered port the search does not list (a stable by-id name) is offered
        // and preselected first whenever it exists; a port given for this run comes
        // before it and is chosen; once it is gone it is not offered.
        const QString stable = dir.filePath(QStringLiteral("usb-Maker_Cable_A1-if00-port0"));
        QFile device(stable);
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
        saved.setValue(QStringLiteral("port/path"), stable);
        saved.sync();
        const auto search = [] { return std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}; };
        const auto offered = [&](std::vector<std::string> given) {
            TComm32 comm;
            TSettingsForm f(nullptr, comm, given, search);
            f.UseSettings(file);
            EXPECT_TRUE(WaitUntil([&] { return f.PortsProbed(); }));
            std::vector<std::string> items;
            for (int i = 0; i < f.SelCom->count(); ++i)
                items.push_back(f.SelCom->itemText(i).toStdString());
            items.push_back("chosen: " + f.SelCom->currentText().toStdString());
            return items;
        };
        const std::string s = stable.toStdString();
        EXPECT_EQ(offered({}),
                  (std::vector<std::string>{s, "/dev/ttyUSB0", "/dev/ttyUSB1", "chosen: " + s}));
        EXPECT_EQ(offered({"/dev/pts/5"}),
                  (std::vector<std::string>{"/dev/pts/5", s, "/dev/ttyUSB0", "/dev/ttyUSB1",
                                            "chosen: /dev/pts/5"}));
        ASSERT_TRUE(device.remove());
        EXPECT_EQ(offered({}), (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1",
                                                         "chosen: /dev/ttyUSB0"}));
    }
    {
        // "Обновить" looks again: a port that came meanwhile is offered.
        std::atomic<int> calls{0};
        TComm32 comm;
        TSettingsForm f(nullptr, comm, {"/dev/first"}, [&] {
            return ++calls == 1 ? std::vector<std::string>{}
                                : std::vector<std::string>{"/dev/ttyUSB7"};
        });
        ASSERT_TRUE(WaitUntil([&] { return f.PortsProbed(); }));
        EXPECT_EQ(f.SelCom->count(), 1);
        f.RefreshBtn->click();
        ASSERT_TRUE(WaitUntil([&] { return f.PortsProbed() && f.SelCom->count() == 2; }));
        EXPECT_EQ(f.SelCom->itemText(1), QStringLiteral("/dev/ttyUSB7"));
        EXPECT_EQ(f.SelCom->currentIndex(), 0);
    }
}

TEST(Scale, ALargerFontGrowsTheDesignAndCutsNothing) {
    const QFont before = QApplication::font();
    QFont big = before;
    big.setPointSizeF(14);
    QApplication::setFont(big);
    {
        TForm1 form;
        form.OnExit = [] {};
        ManualClock(form, true);
        EXPECT_GT(form.minimumWidth(), 600);
        // The controls at the grown design size of the client area.
        QWidget* client = form.centralWidget();
        const QSize design = Design(QSize(TForm1::kDesignWidth, TForm1::kDesignHeight));
        client->resize(design);
        QResizeEvent resized(design, design);
        QApplication::sendEvent(client, &resized);
        for (QPushButton* b : form.centralWidget()->findChildren<QPushButton*>()) {
            // Whole captions, in the big font or one not much smaller (the narrowest
            // buttons of the design).
            EXPECT_GE(QFontInfo(b->font()).pixelSize() * 10, QFontInfo(big).pixelSize() * 7)
                << b->text().toStdString();
            EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width())
                << b->text().toStdString();
        }
        // Every control lies inside the client area (but for the one pixel the
        // design's right-hand button has always had past it).
        for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!w->isWindow()) {
                EXPECT_LE(w->geometry().right(), client->width()) << w->objectName().toStdString();
            }
        }
        // Shown at its smallest size: the status bar's text is whole and inside.
        ModalAnswerer answers;
        form.show();
        ASSERT_TRUE(WaitUntil([&] { return form.ExitRequested(); }));
        form.resize(form.minimumSize());
        ASSERT_TRUE(WaitUntil([&] { return form.size() == form.minimumSize(); }));
        const QRect panel(Named<QLabel>(&form, "StatusPanel")->mapTo(&form, QPoint(0, 0)),
                          Named<QLabel>(&form, "StatusPanel")->size());
        EXPECT_LE(panel.bottom(), form.height() - 1);
        EXPECT_GE(Named<QLabel>(&form, "StatusPanel")->height(), QFontMetrics(big).height());
        EXPECT_GE(form.centralWidget()->height(), Design(TForm1::kDesignHeight));
        TComm32 comm;
        TSettingsForm settings(nullptr, comm, {"/dev/first"},
                               [] { return std::vector<std::string>{}; });
        for (QLabel* l : settings.findChildren<QLabel*>()) {
            EXPECT_GE(l->x(), 0);
            EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width());
            EXPECT_LT(l->geometry().right(), settings.SelCom->x());
        }
        for (QPushButton* b : settings.findChildren<QPushButton*>())
            EXPECT_LE(b->geometry().right(), settings.width());
    }
    QApplication::setFont(before);
}

TEST(Scale, TypeColumnOfTheComputerPaneIsWhole) {
    TShellList pane;
    pane.resize(600, 300);
    ASSERT_TRUE(pane.SetFolder(QStringLiteral("/usr")));
    ASSERT_TRUE(WaitUntil([&] { return pane.Loaded() && pane.Count() > 0; }));
    pane.show();
    // Every type shown fits its column, once the column has followed its contents.
    const int type = 2;
    const QFontMetrics metrics(pane.font());
    const auto widest = [&] {
        int width = 0;
        for (int i = 0; i < pane.Count(); ++i) {
            const QModelIndex index = pane.Model()->index(i, type, pane.rootIndex());
            width = std::max(width, metrics.horizontalAdvance(index.data().toString()));
        }
        return width;
    };
    EXPECT_TRUE(WaitUntil([&] { return widest() <= pane.header()->sectionSize(type); }, 5000));
    for (int i = 0; i < pane.Count(); ++i) {
        const QModelIndex index = pane.Model()->index(i, type, pane.rootIndex());
        EXPECT_LE(metrics.horizontalAdvance(index.data().toString()),
                  pane.header()->sectionSize(type))
            << index.data().toString().toStdString();
    }
}

// The texts of the menu items that reach the whole phone and of the line trace, as
// the File, Actions and Help menus show them.
std::vector<std::string> JobAndTraceItems(const TForm1& form) {
    const auto in = [](QMenu* menu, QAction* item) {
        return menu->actions().contains(item) ? item->text().toStdString()
                                              : std::string("<not in menu>");
    };
    return {in(Named<QMenu>(&form, "FileMenu"), Named<QAction>(&form, "Backup1")),
            in(Named<QMenu>(&form, "FileMenu"), Named<QAction>(&form, "Restore1")),
            in(Named<QMenu>(&form, "Actions1"), Named<QAction>(&form, "InstallJava1")),
            in(Named<QMenu>(&form, "Help1"), Named<QAction>(&form, "TraceLine1"))};
}

TEST(Translation, EnglishOnlyWhenAskedFor) {
    {
        TForm1 form;
        EXPECT_EQ(Named<QPushButton>(&form, "ParentCompBtn")->text(), QStringLiteral("Назад"));
        EXPECT_EQ(Named<QMenu>(&form, "FileMenu")->title(), QStringLiteral("Файл"));
        EXPECT_EQ(JobAndTraceItems(form),
                  (std::vector<std::string>{"Резервная копия телефона…", "Восстановить…",
                                            "Установить Java-приложение…",
                                            "Записывать обмен с телефоном"}));
    }
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/orvo-fm_en.qm")));
    QCoreApplication::installTranslator(&english);
    {
        TForm1 form;
        EXPECT_EQ(Named<QPushButton>(&form, "ParentCompBtn")->text(), QStringLiteral("Back"));
        EXPECT_EQ(Named<QPushButton>(&form, "CopyToPhoneBtn")->text(), QStringLiteral("Copy -->"));
        EXPECT_EQ(Named<QMenu>(&form, "FileMenu")->title(), QStringLiteral("File"));
        EXPECT_EQ(AccessibleName(Named<QPushButton>(&form, "ParentPhoneBtn")),
                  QStringLiteral("Back, phone"));
        EXPECT_EQ(form.SettingsForm->Start->text(), QStringLiteral("Start"));
        EXPECT_EQ(JobAndTraceItems(form),
                  (std::vector<std::string>{"Back up the phone…", "Restore…",
                                            "Install a Java application…",
                                            "Record the exchange with the phone"}));

        // The boxes too: the trace's closing box and a job's summary.
        Named<QAction>(&form, "TraceLine1")->trigger();
        ASSERT_TRUE(Named<QAction>(&form, "TraceLine1")->isChecked());
        const std::string trace = Named<QAction>(&form, "TraceLine1")->statusTip().toStdString();
        ModalAnswerer answers;
        answers.Then(ModalAnswerer::Ok());
        Named<QAction>(&form, "TraceLine1")->trigger();
        EXPECT_EQ(answers.seen,
                  (std::vector<std::string>{
                      "box:Information:The exchange with the phone is recorded in the file\r\n" +
                      trace}));
        JobResult aborted;
        aborted.stopped = true;
        EXPECT_EQ(TPhoneJobsMenu::Summary(QStringLiteral("-"), aborted).toStdString(),
                  "-\n\nNot done (1):\nThe operation was aborted");

        // The core's messages, progress and status lines and sizes speak it too.
        ASSERT_TRUE(InstallLanguage("en"));
        Session& s = form.session();
        s.SetStatusText(Text(MessageId::RereadingCurrentFolder));
        EXPECT_EQ(form.StatusPanel->text(), QStringLiteral("Reading the current folder again"));
        s.Progress.QuickStatus = Text(MessageId::CopyingFile, {"Melody.mid"});
        s.Progress.LongStatus = Text(MessageId::CopyingFileOf, {"1", "3"});
        form.ProcessForm->Render(s.Progress);
        EXPECT_EQ(form.ProcessForm->QuickStatus->text(),
                  QStringLiteral("Copying the file Melody.mid"));
        EXPECT_EQ(form.ProcessForm->LongStatus->text(), QStringLiteral("Copying file 1 of 3"));
        answers.seen.clear();
        answers.Then(ModalAnswerer::Ok());
        s.Report(Message(MessageKind::PhoneRefused, MessageId::PhoneErrorWriting, {"2007"}));
        EXPECT_EQ(answers.seen,
                  (std::vector<std::string>{"box:Error:Error writing the file\r\nMemory full"}));
        JobResult failed;
        failed.messages.emplace_back("java/a.jar",
                                     Message(MessageKind::Refused, MessageId::NotAMelody));
        EXPECT_EQ(TPhoneJobsMenu::Summary(QStringLiteral("-"), failed).toStdString(),
                  "-\n\nNot done (1):\njava/a.jar: This is not a melody file");
        EXPECT_EQ(FormatBytes(1536), "1.5 KB");
        InstallLanguage("ru");
    }
    QCoreApplication::removeTranslator(&english);
}

}  // namespace
