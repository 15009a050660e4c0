// The download's temporary file: private until complete, then one rename.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/LocalFile.h"
#include "tests/core/ProtoTestUtil.h"

using namespace orvo;

namespace {

namespace fs = std::filesystem;
using prototest::ReadFile;
using prototest::TempDir;
using prototest::WriteFile;

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir.File(""))) out.push_back(e.path().filename());
    return out;
}

TEST(LocalFileTemporary, InvisibleUntilCommittedAndGoneWhenClosedBefore) {
    TempDir dir;
    const std::string target = dir.File("song.mid");
    {
        LocalFile f;
        f.CreateTemporaryFor(target);
        EXPECT_EQ(fs::path(f.Path()).parent_path(), fs::path(target).parent_path());
        EXPECT_EQ(fs::path(f.Path()).filename().string().rfind(".orvo-download-", 0), 0u);
        struct stat st {};
        ASSERT_EQ(::stat(f.Path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        f.Write("part", 4);
        EXPECT_FALSE(fs::exists(target));
    }  // destroyed without a commit, as when the program ends mid-read
    EXPECT_TRUE(Names(dir).empty());

    LocalFile f;
    f.CreateTemporaryFor(target);
    f.Write("whole", 5);
    f.Rewind();  // read back for the checksum, as the download does
    char back[5];
    EXPECT_EQ(f.Read(back, 5), 5u);
    f.CommitTemporary();
    f.Close();
    EXPECT_EQ(ReadFile(target), "whole");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"song.mid"});
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

// The final name is replaced in one step: an existing file keeps its permissions,
// and a symbolic link there is replaced itself, never written through.
TEST(LocalFileTemporary, CommitReplacesTheNameNotWhatALinkPointsTo) {
    TempDir dir;
    const std::string target = dir.File("a.bin");
    WriteFile(target, "old");
    ::chmod(target.c_str(), 0640);
    LocalFile f;
    f.CreateTemporaryFor(target);
    f.Write("new", 3);
    f.CommitTemporary();
    EXPECT_EQ(ReadFile(target), "new");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const std::string outside = dir.File("outside.txt");
    WriteFile(outside, "not yours");
    const std::string link = dir.File("link.bin");
    ASSERT_EQ(::symlink(outside.c_str(), link.c_str()), 0);
    f.CreateTemporaryFor(link);
    f.Write("downloaded", 10);
    f.CommitTemporary();
    EXPECT_EQ(ReadFile(outside), "not yours");
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(link), "downloaded");

    // A name that cannot be taken (a folder there) fails and leaves nothing behind.
    fs::create_directory(dir.File("sub"));
    WriteFile(dir.File("sub/x"), "x");
    f.CreateTemporaryFor(dir.File("sub"));
    f.Write("y", 1);
    EXPECT_THROW(f.CommitTemporary(), IoError);
    EXPECT_EQ(Names(dir).size(), 4u);  // a.bin, outside.txt, link.bin, sub
}

// A download over a set-uid file keeps only its permission bits; over a link to
// one it takes the usual permissions, not those of what the link points to.
TEST(LocalFileTemporary, CommitKeepsOnlyThePermissionBitsOfTheFileReplaced) {
    TempDir dir;
    const std::string target = dir.File("tool");
    WriteFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 06755), 0);
    const std::string link = dir.File("link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    for (const std::string& path : {target, link}) {
        LocalFile f;
        f.CreateTemporaryFor(path);
        f.Write("photo", 5);
        f.CommitTemporary();
    }
    struct stat st {};
    ASSERT_EQ(::lstat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

}  // namespace
