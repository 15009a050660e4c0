// transfer-bench: prints throughput and CPU figures of the phone link.
//
// 1. In process, no serial line: the CPU the reply engine (and the in-process phone
//    emulator that answers it) spends per megabyte downloaded and uploaded through the
//    real starters, and per caching pass of the sample content.
// 2. Over a pseudo-terminal with the real serial component and the phone-emulator
//    program paced at 115200 and 230400 bit/s (both ways): the bytes per second of an
//    upload and a download of a 616448-byte file and of the listing of a folder of
//    2,000 files, and their share of what the line carries; each with the framing the
//    protocol asks for and with the quiet-gap rule forced everywhere, side by side;
//    and the download from a phone whose data lines do not give the block's length.
//    The targets: uploads and downloads at 90 % of the line or more, and the phone
//    without lengths no slower than the quiet gap.
// 3. The CPU an open but idle port costs over 2 s.
//
// Usage: transfer-bench [--quick] [--emulator PATH]   (--quick: smaller files, fewer rounds)
// The exit status is 0 when every transfer was byte-exact and every target met.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>

#include "app/PaneSelection.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/Navigation.h"
#include "engine/ReceiveHandler.h"
#include "phonefs/PhoneTree.h"
#include "serial/Comm32.h"
#include "tests/support/EmulatorLink.h"
#include "tests/support/Fakes.h"

#ifndef PHONE_EMULATOR_PATH
#define PHONE_EMULATOR_PATH "phone-emulator"
#endif

using namespace orvo;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kMB = 1024.0 * 1024.0;

// User plus system CPU of the whole process (every thread), in seconds.
double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    auto sec = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return sec(ru.ru_utime) + sec(ru.ru_stime);
}

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string RandomBytes(std::size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

void PutFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
}

std::string GetFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// No operation in flight and nothing modal on screen.
bool Ready(const Session& s) {
    return s.CurrentOperation == OperationState::Idle && s.MainWindow.Enabled &&
           !s.Progress.Visible;
}

// Shows the phone folder at `path` under the root, as the double-clicks would.
void ShowPath(Session& s, std::initializer_list<const char*> path) {
    PhoneNode* node = s.PhoneTree.get();
    for (const char* name : path) node = FindChildFolder(name, node);
    s.CurrentFolder = node;
    ShowFolder(s, node);
    s.CurrentOperation = OperationState::Idle;
}

// Prints what the user would have been shown; true when nothing was.
bool NoMessages(FakeUi& ui, const char* what) {
    for (const auto& m : ui.messages)
        std::printf("  !! %s: message \"%s\" (%s)\n", what, m.text.c_str(), m.caption.c_str());
    bool none = ui.messages.empty();
    ui.messages.clear();
    return none;
}

// ---------------------------------------------------------------------------
// 1. In process

bool BenchInProcess(const std::string& work, std::size_t size, int rounds, int passes) {
    const std::string dir = work + "/inproc";
    fs::create_directories(dir);
    EmulatorRig rig;
    Session& s = rig.s;
    const std::string down = RandomBytes(size, 1);
    rig.phone().LoadSampleContent();
    rig.phone().PutFile('R', "down.bin", down);

    // Caching passes over the sample content.
    std::size_t replyBytes = 0;
    double cpu = 0;
    for (int i = 0; i < passes; ++i) {
        rig.phone().Transcript.clear();
        double c0 = CpuSeconds();
        StartFolderCaching(s);
        rig.link.Pump();
        cpu += CpuSeconds() - c0;
        if (!Ready(s) || !NoMessages(rig.ui, "caching"))
            return false;
        for (const auto& [side, bytes] : rig.phone().Transcript)
            replyBytes += side == 'P' ? bytes.size() : 0;
    }
    std::printf(
        "in-process caching pass:  %.3f ms CPU per pass (%d folders, %.1f KB of replies); "
        "%.1f ms CPU per MB of replies\n",
        cpu * 1e3 / passes, CountFolders(s.PhoneTree.get()), replyBytes / 1024.0 / passes,
        cpu * 1e3 / (replyBytes / kMB));

    ShowPath(s, {"Images", "My Images"});

    // Downloads of the same file into the local folder.
    cpu = 0;
    for (int i = 0; i < rounds; ++i) {
        fs::remove(dir + "/down.bin");
        rig.source.Load(dir);
        rig.pane.Select("down.bin");
        rig.link.sent.clear();
        rig.phone().Transcript.clear();
        rig.phone().Commands.clear();
        double c0 = CpuSeconds();
        DownloadSelectedFiles(s);
        rig.link.Pump();
        cpu += CpuSeconds() - c0;
        if (!Ready(s) || !NoMessages(rig.ui, "download") || GetFile(dir + "/down.bin") != down) {
            std::printf("  !! in-process download %d failed\n", i);
            return false;
        }
    }
    double mb = double(size) * rounds / kMB;
    std::printf("in-process download:      %.1f ms CPU per MB (%d x %zu KB files)\n",
                cpu * 1e3 / mb, rounds, size / 1024);

    // Uploads, each under a name of its own so no name conflict comes up.
    cpu = 0;
    for (int i = 0; i < rounds; ++i) {
        const std::string name = "up" + std::to_string(i) + ".bin";
        const std::string data = RandomBytes(size, 100 + i);
        PutFile(dir + "/" + name, data);
        rig.source.Load(dir);
        rig.source.Select(name);
        rig.link.sent.clear();
        rig.phone().Transcript.clear();
        rig.phone().Commands.clear();
        double c0 = CpuSeconds();
        UploadSelectedFiles(s);
        rig.link.Pump();
        cpu += CpuSeconds() - c0;
        if (!Ready(s) || !NoMessages(rig.ui, "upload") || rig.phone().FileData('R', name) != data) {
            std::printf("  !! in-process upload %d failed\n", i);
            return false;
        }
        rig.phone().EraseFile('R', name);
    }
    std::printf("in-process upload:        %.1f ms CPU per MB (%d x %zu KB files)\n",
                cpu * 1e3 / mb, rounds, size / 1024);
    return true;
}

// ---------------------------------------------------------------------------
// 2. and 3. Over a pseudo-terminal

// Runs the event loop until `done` holds or `ms` have passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int ms) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || Clock::now() > deadline)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return done();
}

// The headless user interface with a real reply watchdog, as the main window runs it.
class WatchdogUi : public FakeUi, public IWatchdogClock {
  public:
    explicit WatchdogUi(Session& s) : s_(s) {
        s.Clock = this;
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            try {
                WatchdogExpired(s_);
            } catch (const std::exception& e) {
                MessageBox(e.what(), "Ошибка");
            }
        });
    }
    void Set(bool running, int intervalMs) override {
        if (!running)
            timer_.stop();
        else if (!wasEnabled_ || intervalMs != timer_.interval() || !timer_.isActive())
            timer_.start(intervalMs);
        timer_.setInterval(intervalMs);
        wasEnabled_ = running;
    }

  private:
    Session& s_;
    QTimer timer_;
    bool wasEnabled_ = false;
};

// How the figures of one configuration came out: bytes per second, 0 when not
// measured, -1 when the run failed.
struct LineFigures {
    double up = 0, down = 0, list = 0;
    std::size_t listBytes = 0;
};

struct LineRun {
    long baud = 115200;
    bool quietGapOnly = false;  // the serial component hands bytes over by the gap only
    bool sizeField = false;     // the phone gives the file's size in a data line's second field
    bool transfers = true;      // upload and download
    bool listing = true;        // read the big folder again
    bool idleCpu = false;
};

// One opening of the port against the emulator program serving `root`, paced at
// run.baud: the start-up and caching pass, then the measured operations.
LineFigures MeasureLine(const std::string& emulator, const std::string& root,
                        const std::string& local, const std::string& up, const std::string& down,
                        const LineRun& run) {
    LineFigures f;
    const char* what = run.quietGapOnly ? "quiet gap" : "framed";
    QStringList args{"--empty", "--baud", QString::number(run.baud), "--root",
                     QString::fromStdString(root)};
    if (run.sizeField)
        args << "--size-field";
    QProcess proc;
    proc.setStandardErrorFile(QProcess::nullDevice());
    proc.start(QString::fromStdString(emulator), args);
    const auto t0 = Clock::now();
    while (!proc.canReadLine() && SecondsSince(t0) < 10 && proc.waitForReadyRead(1000)) {
    }
    const QString line = QString::fromUtf8(proc.readLine()).trimmed();
    if (!line.startsWith("PTY ")) {
        std::printf("  !! cannot start %s\n", emulator.c_str());
        return {-1, -1, -1, 0};
    }

    bool ok = true;
    {
        Session s;
        WatchdogUi ui(s);
        FakePhonePane pane;
        FakeComputerPane source;
        TComm32 comm;
        comm.BaudRate = static_cast<uint32_t>(run.baud);
        comm.Bits = 8;
        comm.StopBits = 1;
        comm.ReadInterval = 25;
        comm.QuietGapOnly = run.quietGapOnly;
        comm.CommPort = line.mid(4).toStdString();
        std::size_t received = 0;
        comm.OnReceiveData = [&s, &received](TComm32*, const uint8_t* buffer, uint16_t length) {
            received += length;
            try {
                ReceiveChunk(s, buffer, length);
            } catch (const std::exception& e) {
                s.Report(Message(MessageKind::LocalFile, MessageId::Verbatim, {e.what()}));
            }
        };
        s.Port = &comm;
        s.Ui = &ui;
        s.PhonePane = &pane;
        s.Source = &source;
        constexpr int kLimitMs = 600000;

        auto timed = [&](const char* step, const std::function<void()>& start) {
            auto t = Clock::now();
            start();
            bool done = WaitUntil([&] { return Ready(s); }, kLimitMs);
            double secs = SecondsSince(t);
            if (!done)
                std::printf("  !! %s at %ld (%s) did not finish\n", step, run.baud, what);
            ok = ok && done && NoMessages(ui, step);
            return secs;
        };

        try {
            comm.Open();
        } catch (const std::exception& e) {
            std::printf("  !! cannot open %s: %s\n", comm.CommPort.c_str(), e.what());
            return {-1, -1, -1, 0};
        }
        timed("start-up", [&] { InitialisePhone(s); });
        ShowPath(s, {"Images", "My Images"});
        if (run.listing) {
            received = 0;
            const double secs = timed("listing", [&] { RereadCurrentFolder(s); });
            f.listBytes = received;
            f.list = received / secs;
        }
        if (run.transfers) {
            fs::remove(local + "/down.bin");
            source.Load(local);
            pane.Select("down.bin");
            double secs = timed("download", [&] { DownloadSelectedFiles(s); });
            const bool exact = GetFile(local + "/down.bin") == down;
            if (!exact)
                std::printf("  !! download at %ld (%s) is not byte-exact\n", run.baud, what);
            ok = ok && exact;
            f.down = down.size() / secs;
            if (!run.sizeField) {
                source.Load(local);
                source.Select("up.bin");
                secs = timed("upload", [&] { UploadSelectedFiles(s); });
                f.up = up.size() / secs;
            }
        }

        if (run.idleCpu) {
            // The port stays open with the reader and writer threads waiting; the
            // event loop has nothing to do.
            const double c0 = CpuSeconds();
            const auto t = Clock::now();
            QEventLoop loop;
            QTimer::singleShot(2000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
            std::printf(
                "idle open port:           %.2f ms CPU over %.2f s (reader, writer and "
                "event loop)\n",
                (CpuSeconds() - c0) * 1e3, SecondsSince(t));
        }
        comm.Close();
    }
    proc.terminate();
    if (!proc.waitForFinished(5000)) {
        proc.kill();
        proc.waitForFinished(5000);
    }
    if (!ok)
        return {-1, -1, -1, 0};
    return f;
}

// Upload, download and listing at one speed, each with the framing the protocol
// asks for and with the quiet-gap rule forced everywhere, side by side; then the
// download from a phone whose second field is not the block's length. True when
// every run was byte-exact and met its target.
bool BenchLine(const std::string& work, const std::string& emulator, long baud, std::size_t size,
               int files, bool idleCpu) {
    const std::string tag = std::to_string(baud);
    const std::string root = work + "/root-" + tag, bare = work + "/bare-" + tag,
                      local = work + "/local-" + tag;
    fs::create_directories(root + "/Images/My Images");
    fs::create_directories(bare + "/Images/My Images");
    fs::create_directories(local);
    const std::string down = RandomBytes(size, 7), up = RandomBytes(size, 8);
    PutFile(root + "/Images/My Images/down.bin", down);
    PutFile(bare + "/Images/My Images/down.bin", down);
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/photo_%04d.jpg", i);
        PutFile(root + "/Images/My Images" + name, RandomBytes(1 + i % 97, uint32_t(i)));
    }
    PutFile(local + "/up.bin", up);

    LineRun run;
    run.baud = baud;
    run.idleCpu = idleCpu;
    const LineFigures framed = MeasureLine(emulator, root, local, up, down, run);
    run.idleCpu = false;
    run.quietGapOnly = true;
    const LineFigures gap = MeasureLine(emulator, root, local, up, down, run);
    run.sizeField = true;
    run.listing = false;
    const LineFigures gapNoLength = MeasureLine(emulator, bare, local, up, down, run);
    run.quietGapOnly = false;
    const LineFigures framedNoLength = MeasureLine(emulator, bare, local, up, down, run);

    const double line = baud / 10.0;
    std::printf("\nserial %ld bit/s: the line carries %.0f bytes/s\n", baud, line);
    std::printf("  %-34s %22s %22s %7s\n", "", "framed by the protocol", "quiet gap forced",
                "gain");
    auto row = [&](const std::string& label, double a, double b) {
        auto cell = [&](double v) {
            char text[40];
            if (v < 0)
                std::snprintf(text, sizeof text, "failed");
            else
                std::snprintf(text, sizeof text, "%7.0f B/s %5.1f %%", v, 100.0 * v / line);
            return std::string(text);
        };
        std::printf("  %-34s %22s %22s %6.2fx\n", label.c_str(), cell(a).c_str(), cell(b).c_str(),
                    a > 0 && b > 0 ? a / b : 0.0);
    };
    const std::string bytes = std::to_string(size) + " bytes";
    row("upload of " + bytes, framed.up, gap.up);
    row("download of " + bytes, framed.down, gap.down);
    row("  phone without lengths", framedNoLength.down, gapNoLength.down);
    row("listing of " + std::to_string(files) + " files (" +
            std::to_string(framed.listBytes / 1024) + " KB)",
        framed.list, gap.list);

    const bool upMet = framed.up >= 0.9 * line;
    const bool downMet = framed.down >= 0.9 * line;
    // Measured in separate runs: a few per cent of scheduling noise is not slower.
    const bool fallbackMet = framedNoLength.down >= 0.97 * gapNoLength.down;
    std::printf(
        "  targets: upload >= 90 %% of the line: %s; download >= 90 %% with lengths: %s; "
        "without lengths no slower than the quiet gap: %s\n",
        upMet ? "met" : "NOT MET", downMet ? "met" : "NOT MET", fallbackMet ? "met" : "NOT MET");
    const bool ran =
        framed.up >= 0 && gap.up >= 0 && framedNoLength.down >= 0 && gapNoLength.down >= 0;
    return ran && upMet && downMet && fallbackMet;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    bool quick = false;
    std::string emulator = PHONE_EMULATOR_PATH;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--emulator") == 0 && i + 1 < argc) {
            emulator = argv[++i];
        } else {
            std::fprintf(stderr, "usage: transfer-bench [--quick] [--emulator PATH]\n");
            return 2;
        }
    }

    std::string work = (fs::temp_directory_path() / "transfer-bench-XXXXXX").string();
    if (!::mkdtemp(work.data())) {
        std::perror("transfer-bench: mkdtemp");
        return 1;
    }

    bool ok = true;
    if (quick)
        ok = BenchInProcess(work, 100 * 1024, 3, 5);
    else
        ok = BenchInProcess(work, 600 * 1024, 10, 50);
    const std::size_t serialSize = quick ? 64 * 1024 : 616448;
    const int files = quick ? 300 : 2000;
    ok = BenchLine(work, emulator, 115200, serialSize, files, true) && ok;
    ok = BenchLine(work, emulator, 230400, serialSize, files, false) && ok;

    std::error_code ec;
    fs::remove_all(work, ec);
    return ok ? 0 : 1;
}
