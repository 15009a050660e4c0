// Uploads and downloads through orvo-cli, the serial component and the emulator
// program paced at the line rate, with a phone that gives each data line's length in
// its second field and with one that does not: every byte arrives as it left.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>

#include "tests/cli/CliTestSupport.h"

using namespace orvo;

namespace {

// Random bytes strewn with the phone's replies and the read marker, one of them
// at the end of every 512-byte block.
std::string Tricky(std::size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    const char* words[] = {"#OK#", "OK\r\n", "\r\n", "\r\n#OK#", "##>\r\n", "+FSFR: 1,512,"};
    std::string data;
    while (data.size() < size) {
        data += static_cast<char>(gen() & 0xFF);
        if (gen() % 16 == 0)
            data += words[gen() % 6];
    }
    data.resize(size);
    for (std::size_t end = 512; end <= size; end += 512) data.replace(end - 6, 6, "\r\n#OK#");
    return data;
}

class TransferEndToEnd : public ::testing::TestWithParam<const char*> {};

TEST_P(TransferEndToEnd, UploadAndDownloadArriveByteForByte) {
    QTemporaryDir dir;
    const std::string down = Tricky(12000, 1), up = Tricky(9000, 2);
    WriteFile(dir.filePath("root/Images/My Images/down.bin"), down);
    WriteFile(dir.filePath("up.bin"), up);
    QDir().mkpath(dir.filePath("saved"));
    QStringList args{
        "--baud", "230400", "--root", dir.filePath("root"), "--save", dir.filePath("saved")};
    if (*GetParam())
        args << GetParam();
    Emulator phone;
    ASSERT_TRUE(phone.Start(args));

    CliRun get = RunCli({"--port", phone.pty, "get", "Images/My Images/down.bin", "-o", dir.path()},
                        dir.path());
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_TRUE(ReadFile(dir.filePath("down.bin")) == down);

    CliRun put = RunCli({"--port", phone.pty, "put", "up.bin", "Images/My Images"}, dir.path());
    EXPECT_EQ(put.status, 0) << put.err;
    phone.Stop();
    EXPECT_TRUE(ReadFile(dir.filePath("saved/Images/My Images/up.bin")) == up);
}

INSTANTIATE_TEST_SUITE_P(PhoneModes, TransferEndToEnd, ::testing::Values("", "--size-field"),
                         [](const auto& info) {
                             return std::string(*info.param ? "SizeInSecondField"
                                                            : "LengthInSecondField");
                         });

}  // namespace
