// The phone folder tree: names, lists, cuts, the pane and the Rescan button.
#include <gtest/gtest.h>
#include <pthread.h>

#include "engine/Navigation.h"
#include "phonefs/PhoneTree.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

std::vector<std::string> FileNames(const PhoneNode* folder) {
    std::vector<std::string> names;
    for (const PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get())
        names.push_back(e->Name);
    return names;
}

// root -> a(code 'A') -> b(code 'B'); root -> c (container)
struct SmallTree {
    std::unique_ptr<PhoneNode> root = std::make_unique<PhoneNode>();
    PhoneNode* a;
    PhoneNode* b;
    PhoneNode* c;
    SmallTree() {
        root->Name = "DIR_NAME : ";
        a = AddChildFolder("a", root.get(), 'A');
        c = AddChildFolder("c", root.get(), ' ');
        b = AddChildFolder("b", a, 'B');
    }
};

TEST(PhoneTreeTest, FindChildFolderReturnsTheSearchedFolderWhenThereIsNoSuchSubFolder) {
    SmallTree t;
    AddFile(t.root.get(), "file.txt", 10);
    EXPECT_EQ(FindChildFolder("a", t.root.get()), t.a);
    // A file name, a grandchild, a case variant and an empty folder: the folder itself.
    EXPECT_EQ(FindChildFolder("file.txt", t.root.get()), t.root.get());
    EXPECT_EQ(FindChildFolder("b", t.root.get()), t.root.get());
    EXPECT_EQ(FindChildFolder("A", t.root.get()), t.root.get());
    EXPECT_EQ(FindChildFolder("x", t.b), t.b);
    EXPECT_EQ(FindChildFolder("a", nullptr), nullptr);
}

TEST(PhoneTreeTest, AddChildFolderKeepsOrderRefusesDuplicatesAndCutsTo24Bytes) {
    SmallTree t;
    EXPECT_EQ(AddChildFolder("a", t.root.get(), 'Z'), t.a);
    EXPECT_EQ(t.a->Code, 'A');
    PhoneNode* longOne = AddChildFolder(std::string(30, 'x'), t.root.get(), 'L');
    EXPECT_EQ(longOne->Name, std::string(24, 'x'));
    EXPECT_EQ(longOne->Parent, t.root.get());
    EXPECT_EQ(t.root->FirstChild.get(), t.a);
    EXPECT_EQ(t.a->NextSibling.get(), t.c);
    EXPECT_EQ(t.c->NextSibling.get(), longOne);
    EXPECT_EQ(t.b->Parent, t.a);
    EXPECT_EQ(CountFolders(t.root.get()), 5);
}

TEST(PhoneTreeTest, DuplicateAddFileKeepsTheFirstEntryAndSize) {
    PhoneNode folder;
    AddFile(&folder, "one", 1);
    AddFile(&folder, "two", 2);
    AddFile(&folder, "one", 99);
    EXPECT_EQ(FileNames(&folder), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(FindFile(&folder, "one")->Size, 1);
    EXPECT_FALSE(HasFile(&folder, "ONE"));  // case-sensitive
}

TEST(PhoneTreeTest, LongFileNameIsCutTo64BytesAndTheFullNameNoLongerMatches) {
    PhoneNode folder;
    const std::string full(70, 'n');
    const std::string cut(64, 'n');
    AddFile(&folder, full, 5);
    EXPECT_EQ(FileNames(&folder), (std::vector<std::string>{cut}));
    EXPECT_FALSE(HasFile(&folder, full));
    RemoveFile(full, &folder);
    EXPECT_TRUE(HasFile(&folder, cut));
    AddFile(&folder, full, 6);
    EXPECT_EQ(FileNames(&folder), (std::vector<std::string>{cut, cut}));
    RemoveFile(cut, &folder);
    ASSERT_EQ(FileNames(&folder).size(), 1u);
    EXPECT_EQ(folder.Files->Size, 6);
}

TEST(PhoneTreeTest, RemoveFileUnlinksFirstMiddleAndLastEntries) {
    PhoneNode folder;
    RemoveFile("none", &folder);  // empty list: nothing happens
    for (const char* n : {"a", "b", "c", "d"}) AddFile(&folder, n, 1);
    RemoveFile("a", &folder);
    EXPECT_EQ(folder.Files->Name, "b");
    RemoveFile("zz", &folder);
    RemoveFile("c", &folder);
    RemoveFile("d", &folder);
    EXPECT_EQ(FileNames(&folder), (std::vector<std::string>{"b"}));
    AddFile(&folder, "e", 1);  // appended after the remaining entry
    EXPECT_EQ(FileNames(&folder), (std::vector<std::string>{"b", "e"}));
}

TEST(PhoneTreeTest, NamesAreComparedAsBytesIncludingNul) {
    PhoneNode folder;
    AddFile(&folder, std::string("a\0b", 3), 1);
    EXPECT_FALSE(HasFile(&folder, "a"));
    EXPECT_TRUE(HasFile(&folder, std::string("a\0b", 3)));
}

// Runs fn on a thread with a small stack, so that a release nested once per list
// entry would overflow it even where the compiler keeps the frames tiny.
void RunOnSmallStack(void (*fn)()) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 512 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attr,
                  [](void* f) -> void* {
                      reinterpret_cast<void (*)()>(f)();
                      return nullptr;
                  },
                  reinterpret_cast<void*>(fn)),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(PhoneTreeTest, VeryLongListsAndSiblingChainsAreReleasedWithoutDeepRecursion) {
    RunOnSmallStack([] {
        auto root = std::make_unique<PhoneNode>();
        std::unique_ptr<PhoneFileEntry>* link = &root->Files;
        for (int i = 0; i < 200000; ++i) {
            *link = std::make_unique<PhoneFileEntry>();
            link = &(*link)->Next;
        }
        PhoneNode* tail = root.get();
        for (int i = 0; i < 200000; ++i) {
            tail->NextSibling = std::make_unique<PhoneNode>();
            tail = tail->NextSibling.get();
            tail->FirstChild = std::make_unique<PhoneNode>();
        }
        root.reset();
    });
    SUCCEED();
}

TEST(PhoneTreeTest, ShowFolderListsSubFoldersThenFilesAndSetsIdleOnlyWithFiles) {
    TestRig r;
    SmallTree t;
    r.s.CurrentOperation = OperationState::Listing;
    ShowFolder(r.s, t.b);  // no sub-folders, no files
    EXPECT_EQ(r.pane.Count(), 0);
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Listing);

    ShowFolder(r.s, t.root.get());  // sub-folders only
    EXPECT_EQ(r.pane.Count(), 2);
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Listing);

    AddFile(t.root.get(), "Zeta.bin", 1234);
    AddFile(t.root.get(), "b.txt", 7);
    ShowFolder(r.s, t.root.get());
    ASSERT_EQ(r.pane.Captions(), (std::vector<std::string>{"a", "b.txt", "c", "Zeta.bin"}));
    EXPECT_EQ(r.pane.Image(0), 0);
    EXPECT_EQ(r.pane.Image(1), 1);
    EXPECT_EQ(r.pane.SizeText(3), "1234");
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Idle);

    ShowFolder(r.s, nullptr);  // nothing happens
    EXPECT_EQ(r.pane.Count(), 4);
}

TEST(PhoneTreeTest, OpeningRowsAndGoingUp) {
    TestRig r;
    SmallTree t;
    AddFile(t.root.get(), "f", 1);
    r.s.CurrentFolder = t.root.get();
    ShowFolder(r.s, t.root.get());

    OpenSelectedFolder(r.s);  // nothing selected
    EXPECT_EQ(r.s.CurrentFolder, t.root.get());

    ASSERT_TRUE(r.pane.Select("f"));  // a file row redraws the same folder
    OpenSelectedFolder(r.s);
    EXPECT_EQ(r.s.CurrentFolder, t.root.get());

    ASSERT_TRUE(r.pane.Select("a"));
    OpenSelectedFolder(r.s);
    EXPECT_EQ(r.s.CurrentFolder, t.a);
    EXPECT_EQ(r.pane.Captions(), (std::vector<std::string>{"b"}));

    OpenParentFolder(r.s);
    EXPECT_EQ(r.s.CurrentFolder, t.root.get());
    auto before = r.pane.Captions();
    r.pane.rows.pop_back();
    OpenParentFolder(r.s);  // at the root: the pane is not touched
    EXPECT_EQ(r.s.CurrentFolder, t.root.get());
    EXPECT_EQ(r.pane.Count(), static_cast<int>(before.size()) - 1);
}

TEST(PhoneTreeTest, RereadClearsTheListAndSendsTheListingOfTheFolderCode) {
    TestRig r;
    SmallTree t;
    AddFile(t.a, "x", 1);
    AddFile(t.a, "y", 2);
    r.s.CurrentOperation = OperationState::Idle;

    RereadCurrentFolder(r.s);  // no current folder
    EXPECT_TRUE(r.port.writes.empty());

    r.s.CurrentFolder = t.c;  // container
    RereadCurrentFolder(r.s);
    EXPECT_TRUE(r.port.writes.empty());
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Idle);

    r.s.CurrentFolder = t.a;
    RereadCurrentFolder(r.s);
    EXPECT_EQ(r.port.All(), "AT+FSDL=\"A\"\r\n");
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Listing);
    EXPECT_FALSE(t.a->Files);
    EXPECT_TRUE(r.s.Timer1.Enabled);
    EXPECT_TRUE(r.s.Progress.Visible);
    EXPECT_FALSE(r.s.MainWindow.Enabled);
    EXPECT_EQ(WordsUtf8(r.s.Progress.QuickStatus), "Перечитываем папку a");
    EXPECT_EQ(WordsUtf8(r.s.Progress.LongStatus), "Перечитываем текущую папку");
    EXPECT_EQ(WordsUtf8(r.s.MainWindow.StatusText), "Перечитываем текущую папку");
}

}  // namespace
