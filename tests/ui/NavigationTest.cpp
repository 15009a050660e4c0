// Moving between phone folders, re-reading folders and the window's resizing.
#include <gtest/gtest.h>

#include <QFileSystemModel>

#include "phonefs/PhoneTree.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ComputerPane.h"
#include "ui/ProcessForm.h"

using namespace orvo;

namespace {

class Navigation : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(rig.StartAndWait()); }

    // A double-click on the row with this caption, as the user makes it.
    void DoubleClickRow(const std::string& caption) {
        const int row = rig.Row(caption);
        ASSERT_GE(row, 0) << caption;
        const QPoint at = rig.pane()->RowRect(row).center();
        QTest::mouseDClick(rig.pane()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    std::string Folder() { return rig.s().CurrentFolder->Name; }

    ProgramRig rig;
    const std::vector<std::string> root{"Images", "java", "readme.txt", "Sounds", "tricky.bin"};
};

TEST_F(Navigation, IntoFoldersAndBackWithoutTalkingToThePhone) {
    rig.port->sent.clear();
    DoubleClickRow("Sounds");
    EXPECT_EQ(Folder(), "Sounds");
    // A container folder holds the listing of the root besides its sub-folders.
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"Default Sounds", "My Sounds", "readme.txt",
                                                        "tricky.bin", "Voice"}));
    DoubleClickRow("My Sounds");
    EXPECT_EQ(Folder(), "My Sounds");
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"ring.mid", "Звонок.mid"}));
    // The model keeps the phone's names in CP1251; the row gives back those bytes.
    EXPECT_EQ(rig.pane()->Caption(rig.Row("Звонок.mid")), "\xC7\xE2\xEE\xED\xEE\xEA.mid");

    rig.Get<QPushButton>("ParentPhoneBtn")->click();
    EXPECT_EQ(Folder(), "Sounds");
    rig.Get<QPushButton>("ParentPhoneBtn")->click();
    EXPECT_EQ(rig.s().CurrentFolder, rig.s().PhoneTree.get());
    EXPECT_EQ(rig.Captions(), root);
    rig.Get<QPushButton>("ParentPhoneBtn")->click();  // at the root: nothing
    EXPECT_EQ(rig.s().CurrentFolder, rig.s().PhoneTree.get());
    EXPECT_EQ(rig.Captions(), root);
    EXPECT_EQ(rig.port->sent, "");
}

TEST_F(Navigation, DoubleClickOnAFileOrAnEmptyPlaceStaysInTheFolder) {
    DoubleClickRow("readme.txt");
    EXPECT_EQ(rig.s().CurrentFolder, rig.s().PhoneTree.get());
    EXPECT_EQ(rig.Captions(), root);

    rig.pane()->clearSelection();
    const QPoint below(20, rig.pane()->viewport()->height() - 5);
    ASSERT_EQ(rig.pane()->RowAt(below), -1);
    QTest::mouseDClick(rig.pane()->viewport(), Qt::LeftButton, Qt::NoModifier, below);
    EXPECT_EQ(rig.s().CurrentFolder, rig.s().PhoneTree.get());
    EXPECT_EQ(rig.Captions(), root);
}

TEST_F(Navigation, RescanRelistsAFolderAndRecachesAtTheRoot) {
    DoubleClickRow("Sounds");
    DoubleClickRow("My Sounds");
    rig.port->sent.clear();
    rig.Get<QPushButton>("RescanBtn")->click();
    EXPECT_FALSE(rig.form->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return rig.form->isEnabled(); }));
    EXPECT_EQ(rig.port->sent, "AT+FSDL=\"T\"\r\n");
    EXPECT_EQ(Folder(), "My Sounds");
    EXPECT_EQ(rig.Captions(), (std::vector<std::string>{"ring.mid", "Звонок.mid"}));
    EXPECT_FALSE(rig.form->ProcessForm->isVisible());

    // A container folder is not re-read.
    rig.Get<QPushButton>("ParentPhoneBtn")->click();
    rig.port->sent.clear();
    rig.Get<QPushButton>("RescanBtn")->click();
    EXPECT_EQ(rig.port->sent, "");
    EXPECT_TRUE(rig.form->isEnabled());

    rig.Get<QPushButton>("ParentPhoneBtn")->click();
    const PhoneNode* before = rig.s().PhoneTree.get();
    rig.Get<QPushButton>("RescanBtn")->click();
    ASSERT_TRUE(WaitUntil([&] { return rig.s().PhoneTree.get() != before; }));
    ASSERT_TRUE(rig.WaitReady());
    EXPECT_EQ(rig.port->sent, CachingPassListings());
    EXPECT_EQ(rig.Captions(), root);
}

TEST_F(Navigation, WideningKeepsThePhonePaneWidth) {
    TForm1& f = *rig.form;
    const int sourceWidth = Named<TShellList>(&f, "Source")->width();
    const int deleteX = Named<QPushButton>(&f, "DeleteBtn")->x();
    f.resize(1200, 600);
    ASSERT_TRUE(WaitUntil([&] { return f.width() == 1200; }));
    QWidget* client = f.centralWidget();
    EXPECT_EQ(Named<TPhoneList>(&f, "ListPhone")->width(), 368);
    EXPECT_EQ(Named<TPhoneList>(&f, "ListPhone")->geometry().right(), client->width() - 1);
    EXPECT_EQ(Named<QPushButton>(&f, "ParentPhoneBtn")->width(), 369);
    EXPECT_EQ(Named<TShellList>(&f, "Source")->width(), sourceWidth + 600);
    EXPECT_EQ(Named<QPushButton>(&f, "DeleteBtn")->x(), deleteX + 600);
    EXPECT_EQ(Named<QPushButton>(&f, "DeleteBtn")->width(), 65);
    EXPECT_EQ(Named<QPushButton>(&f, "CopyToPhoneBtn")->x(), 0);
    EXPECT_EQ(Named<QPushButton>(&f, "CopyToPhoneBtn")->width(),
              97 + client->width() - TForm1::kDesignWidth);
    // Taller: both panes grow, the buttons move down.
    const int paneHeight = Named<TPhoneList>(&f, "ListPhone")->height();
    const int buttonsY = Named<QPushButton>(&f, "RescanBtn")->y();
    f.resize(1200, 700);
    ASSERT_TRUE(WaitUntil([&] { return f.height() == 700; }));
    EXPECT_EQ(Named<TPhoneList>(&f, "ListPhone")->height(), paneHeight + 100);
    EXPECT_EQ(Named<TShellList>(&f, "Source")->height(), paneHeight + 100);
    EXPECT_EQ(Named<QPushButton>(&f, "RescanBtn")->y(), buttonsY + 100);
    // The size limits.
    f.resize(2000, 2000);
    EXPECT_TRUE(WaitUntil([&] { return f.size() == QSize(1200, 840); })) << f.width();
    f.resize(100, 100);
    EXPECT_TRUE(WaitUntil([&] { return f.size() == QSize(600, 420); })) << f.width();
}

TEST_F(Navigation, ComputerPaneGoesUpToTheRootAndNoFurther) {
    TShellList* source = rig.Get<TShellList>("Source");
    EXPECT_EQ(source->FolderPath(), QDir::homePath().toStdString());
    ASSERT_TRUE(source->SetFolder(QStringLiteral("/usr/share")));
    rig.Get<QPushButton>("ParentCompBtn")->click();
    EXPECT_EQ(source->FolderPath(), "/usr");
    rig.Get<QPushButton>("ParentCompBtn")->click();
    EXPECT_EQ(source->FolderPath(), "/");
    rig.Get<QPushButton>("ParentCompBtn")->click();
    EXPECT_EQ(source->FolderPath(), "/");
}

}  // namespace
