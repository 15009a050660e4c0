// ui-stall-bench: the longest stall of the main window's event loop while the program
// works against the emulator program on a pseudo-terminal, paced at the line rate:
// waking the phone and listing every folder (one of them holding 2,000 files),
// showing that folder, reading it again, and a download and an upload.
//
// A probe timer asks to run every millisecond; the longest time between two of its
// runs, less that millisecond, is the stall figure of each step. Runs on the
// offscreen platform unless another one is chosen.
//
// Usage: ui-stall-bench [--baud N] [--files N] [--size BYTES] [--emulator PATH]
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "phonefs/PhoneTree.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ComputerPane.h"

using namespace orvo;

namespace {

namespace fs = std::filesystem;

class StallProbe {
  public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            if (now - last_ > worst_) {
                worst_ = now - last_;
                worstAt_ = last_ - started_;
            }
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    void Begin() {
        last_ = clock_.nsecsElapsed();
        worst_ = 0;
        worstAt_ = 0;
        started_ = last_;
    }
    // When the worst stall began, in seconds since Begin.
    double WorstAt() const { return worstAt_ / 1e9; }
    double WorstMs() const { return std::max<qint64>(0, worst_ - 1000000) / 1e6; }
    double SecondsSinceBegin() const { return (clock_.nsecsElapsed() - started_) / 1e9; }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
    qint64 started_ = 0;
    qint64 worstAt_ = 0;
};

void PutFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
}

std::string RandomBytes(std::size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

// Runs the event loop (never sleeping past its events, as QTest's waits do) until
// done holds or ms have passed; returns done().
bool RunUntil(const std::function<bool()>& done, int ms) {
    QEventLoop loop;
    QTimer check;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > ms)
            loop.quit();
    });
    check.start(5);
    if (!done())
        loop.exec();
    return done();
}

int RowOf(IPhonePane* pane, const std::string& caption) {
    for (int i = 0; i < pane->Count(); ++i)
        if (pane->Caption(i) == caption)
            return i;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    long baud = 115200;
    int files = 2000;
    std::size_t size = 100 * 1024;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--baud") == 0 && i + 1 < argc) {
            baud = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc) {
            files = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            size = static_cast<std::size_t>(std::atol(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: ui-stall-bench [--baud N] [--files N] [--size BYTES]\n");
            return 2;
        }
    }

    std::string work = (fs::temp_directory_path() / "ui-stall-bench-XXXXXX").string();
    if (!::mkdtemp(work.data())) {
        std::perror("ui-stall-bench: mkdtemp");
        return 1;
    }
    const std::string folder = work + "/root/Images/My Images", local = work + "/local";
    fs::create_directories(folder);
    fs::create_directories(local);
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/photo_%04d.jpg", i);
        PutFile(folder + name, RandomBytes(1 + i % 97, static_cast<uint32_t>(i)));
    }
    PutFile(folder + "/big.bin", RandomBytes(size, 1));
    PutFile(local + "/up.bin", RandomBytes(size, 2));

    int status = 0;
    {
        EmulatorProcess emulator;
        if (!emulator.Start({"--empty", "--baud", QString::number(baud), "--root",
                             QString::fromStdString(work + "/root")})) {
            std::fprintf(stderr, "ui-stall-bench: cannot start the emulator\n");
            return 1;
        }
        ModalAnswerer answers;
        answers.Then(ModalAnswerer::Start());
        ProgramOptions options;
        options.ports = {emulator.pty};
        TForm1 form(options);
        form.show();
        Session& s = form.session();
        StallProbe probe;
        auto ready = [&] {
            return s.CurrentOperation == OperationState::Idle && s.MainWindow.Enabled &&
                   !s.Progress.Visible && s.CurrentFolder != nullptr;
        };
        auto step = [&](const char* what, const std::function<void()>& act) {
            probe.Begin();
            act();
            // The probe runs at least once after the action.
            QElapsedTimer settle;
            settle.start();
            RunUntil([&] { return settle.elapsed() >= 20; }, 1000);
            const bool done = RunUntil(ready, 600000);
            std::printf("%-40s worst stall %7.1f ms at %6.2f s of %6.2f s%s\n", what,
                        probe.WorstMs(), probe.WorstAt(), probe.SecondsSinceBegin(),
                        done ? "" : "  !! did not finish");
            if (!done)
                status = 1;
        };
        std::printf("ui-stall-bench at %ld bit/s, a folder of %d files, transfers of %zu bytes\n",
                    baud, files, size);
        step("start-up and listing every folder", [] {});
        auto open = [&](const char* name) {
            const int row = RowOf(s.PhonePane, name);
            for (int i = 0; i < s.PhonePane->Count(); ++i) s.PhonePane->SetSelected(i, i == row);
            form.ListPhoneDblClick();
        };
        step("showing the folder of 2,000 files", [&] {
            open("Images");
            open("My Images");
        });
        step("reading that folder again", [&] { form.RescanBtn->click(); });
        step("showing the root and the folder again", [&] {
            form.ParentPhoneBtn->click();
            form.ParentPhoneBtn->click();
            open("Images");
            open("My Images");
        });
        form.Source->SetFolder(QString::fromStdString(local));
        RunUntil([&] { return form.Source->Loaded() && form.Source->Count() == 1; }, 10000);
        step("download", [&] {
            const int row = RowOf(s.PhonePane, "big.bin");
            for (int i = 0; i < s.PhonePane->Count(); ++i) s.PhonePane->SetSelected(i, i == row);
            form.CopyToCompBtn->click();
        });
        RunUntil([&] { return form.Source->Loaded() && form.Source->Count() == 2; }, 10000);
        step("upload", [&] {
            for (int i = 0; i < s.Source->Count(); ++i)
                s.Source->SetSelected(i, s.Source->ItemPath(i) == local + "/up.bin");
            form.CopyToPhoneBtn->click();
        });
        for (const auto& seen : answers.seen)
            if (seen != "settings") {
                std::printf("  !! the program showed %s\n", seen.c_str());
                status = 1;
            }
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return status;
}
