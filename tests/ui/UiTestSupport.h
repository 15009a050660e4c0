// Helpers for the widget tests: the phone emulator program on a pseudo-terminal,
// a port wrapper that records what the program sends, an answerer for modal
// dialogs, and bounded waits that keep the event loop running.
#pragma once

#include <signal.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Session.h"
#include "serial/Comm32.h"
#include "ui/FileExistForm.h"
#include "ui/MainForm.h"
#include "ui/PhoneList.h"
#include "ui/RenameForm.h"
#include "ui/SettingsForm.h"

namespace orvo {

// What a screen reader hears of a widget: its accessible name and description.
inline QString AccessibleName(QObject* o) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
    return a ? a->text(QAccessible::Name) : QString();
}
inline QString AccessibleDescription(QObject* o) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
    return a ? a->text(QAccessible::Description) : QString();
}

// The widget or action of that object name and type under root (the tests find
// the window's parts by their names); a missing one ends the test program.
template <class T>
T* Named(const QObject* root, const char* name) {
    T* found = root->findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "no object named %s of the type asked for\n", name);
        std::abort();
    }
    return found;
}

// The window's watchdog runs as the program's but its expiry is not acted on: a
// test gives the expiries itself (Timer1Timer). The program's clock when false.
inline void ManualClock(TForm1& form, bool manual) {
    form.Timer1->blockSignals(manual);
}

// Runs the event loop until cond holds or ms have passed.
inline bool WaitUntil(const std::function<bool()>& cond, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

// The phone-emulator program serving a pseudo-terminal.
class EmulatorProcess {
  public:
    ~EmulatorProcess() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }
    // Starts it and reads the "PTY <path>" line; false on failure.
    bool Start(const QStringList& args = {QStringLiteral("--sample")}) {
        proc_.setProcessChannelMode(QProcess::SeparateChannels);
        proc_.setReadChannel(QProcess::StandardOutput);
        proc_.start(QStringLiteral(PHONE_EMULATOR_PATH), args);
        if (!proc_.waitForStarted(10000))
            return false;
        QElapsedTimer t;
        t.start();
        while (!proc_.canReadLine()) {
            if (t.elapsed() > 10000 || !proc_.waitForReadyRead(1000)) {
                if (t.elapsed() > 10000)
                    return false;
            }
        }
        const QString line = QString::fromUtf8(proc_.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("PTY ")))
            return false;
        pty = line.mid(4).toStdString();
        return true;
    }
    // Asks an emulator started with --save DIR to write the phone's files into DIR
    // and waits, with the event loop running, until it says it has.
    bool Save(int ms = 20000) {
        if (proc_.state() != QProcess::Running || ::kill(proc_.processId(), SIGUSR1) != 0)
            return false;
        if (!WaitUntil([this] { return proc_.canReadLine(); }, ms))
            return false;
        return QString::fromUtf8(proc_.readLine()).trimmed() == QLatin1String("SAVED");
    }
    // Ends it at once (SIGKILL): its side of the pseudo-terminal closes as when a
    // cable is pulled. Start may run it again afterwards.
    void Kill() {
        proc_.kill();
        proc_.waitForFinished(5000);
    }
    std::string pty;

  private:
    QProcess proc_;
};

// Forwards to the program's serial component and keeps a copy of every byte.
class RecordingPort : public IPort {
  public:
    explicit RecordingPort(IPort* inner) : inner_(inner) {}
    bool Write(const void* data, uint16_t length) override {
        sent.append(static_cast<const char*>(data), length);
        if (onWrite)
            onWrite();
        return inner_->Write(data, length);
    }
    void Close() override {
        ++closeCount;
        inner_->Close();
    }
    bool SetReplyFraming(ReplyFraming framing) override { return inner_->SetReplyFraming(framing); }
    std::string sent;
    int closeCount = 0;
    std::function<void()> onWrite;

  private:
    IPort* inner_;
};

// Answers modal dialogs as they appear, in order, and notes each one.
class ModalAnswerer {
  public:
    using Action = std::function<void(QWidget*)>;

    ModalAnswerer() {
        timer_.setInterval(15);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start();
    }
    // Queue the answer for the next modal window.
    void Then(Action a) { script_.push_back(std::move(a)); }

    // What was seen: "settings", "box:<caption>:<text>", "exist", "rename", "other".
    std::vector<std::string> seen;
    int Count(const std::string& what) const {
        int n = 0;
        for (const auto& s : seen) n += s == what;
        return n;
    }

    static void Press(QWidget* w, const char* buttonName) {
        auto* b = w->findChild<QPushButton*>(QString::fromLatin1(buttonName));
        ASSERT_NE(b, nullptr) << buttonName;
        b->click();
    }
    static Action Start() {
        return [](QWidget* w) { Press(w, "Start"); };
    }
    static Action Exit() {
        return [](QWidget* w) { Press(w, "CancelSetBtn"); };
    }
    static Action Ok() {
        return [](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                box->button(QMessageBox::Ok)->click();
            }
        };
    }

  private:
    void Tick() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == handled_)
            return;
        handled_ = w;
        if (qobject_cast<TSettingsForm*>(w)) {
            seen.push_back("settings");
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen.push_back("box:" + box->windowTitle().toStdString() + ":" +
                           box->text().toStdString());
        } else if (qobject_cast<TFileExistForm*>(w)) {
            seen.push_back("exist");
        } else if (qobject_cast<TRenameForm*>(w)) {
            seen.push_back("rename");
        } else {
            seen.push_back("other");
        }
        Action a;
        if (!script_.empty()) {
            a = std::move(script_.front());
            script_.pop_front();
        } else if (qobject_cast<TSettingsForm*>(w)) {
            a = Exit();  // unscripted: leave the program rather than hang
        } else if (auto* d = qobject_cast<QDialog*>(w)) {
            a = [d](QWidget*) { d->done(2); };
        }
        // Answer after this tick, so that the dialog's own loop sees the result.
        QTimer::singleShot(0, [this, w, a] {
            if (a)
                a(w);
            handled_ = nullptr;
        });
    }

    QTimer timer_;
    std::deque<Action> script_;
    QWidget* handled_ = nullptr;
};

// The program's main window against the emulator, with a recording port.
struct ProgramRig {
    EmulatorProcess emulator;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<RecordingPort> port;
    ModalAnswerer answers;
    bool exited = false;

    // Makes the windows with the given ports first in the list (the emulator's
    // when ports is empty) and shows the main window.
    void Make(std::vector<std::string> ports = {}) {
        ProgramOptions o;
        o.ports = ports.empty() ? std::vector<std::string>{emulator.pty} : ports;
        form = std::make_unique<TForm1>(o);
        form->OnExit = [this] { exited = true; };
        ManualClock(*form, true);
        port = std::make_unique<RecordingPort>(form->Comm321);
        form->session().Port = port.get();
        // The watchdog's expiries are the test's to give, except the quiet time
        // after the phone has answered the reset: it passes as in the program.
        settle.setInterval(5);
        QObject::connect(&settle, &QTimer::timeout, [this] { SettleTick(); });
        settle.start();
        form->show();
    }
    ~ProgramRig() {
        settle.stop();
        if (form)
            form->session().Port = form->Comm321;
    }
    void SettleTick() {
        // With the program's own clock running, its watchdog ends the wait itself.
        if (!form || !form->Timer1->signalsBlocked() ||
            s().CurrentOperation != OperationState::Initialising || !s().Wake.Settling) {
            settleChunks = -1;
            return;
        }
        if (s().Wake.SettleChunks != settleChunks) {
            settleChunks = s().Wake.SettleChunks;
            quiet.restart();
            return;
        }
        if (quiet.elapsed() >= form->Timer1->interval()) {
            settleChunks = -1;
            form->Timer1Timer();
        }
    }
    QTimer settle;
    int settleChunks = -1;
    QElapsedTimer quiet;

    Session& s() { return form->session(); }
    template <class T>
    T* Get(const char* name) {
        return Named<T>(form.get(), name);
    }
    TPhoneList* pane() { return Get<TPhoneList>("ListPhone"); }
    std::vector<std::string> Captions() {
        std::vector<std::string> out;
        for (int i = 0; i < pane()->Count(); ++i) {
            out.push_back(TPhoneList::DisplayText(pane()->Caption(i)).toStdString());
        }
        return out;
    }
    int Row(const std::string& caption) {
        for (int i = 0; i < pane()->Count(); ++i) {
            if (TPhoneList::DisplayText(pane()->Caption(i)).toStdString() == caption)
                return i;
        }
        return -1;
    }
    // Waits for the end of a caching pass: the root shown and the window enabled.
    bool WaitReady(int ms = 30000) {
        return WaitUntil(
            [this] {
                return s().CurrentFolder && s().CurrentFolder == s().PhoneTree.get() &&
                       s().CurrentOperation == OperationState::Idle && form->isEnabled() &&
                       pane()->Count() > 0;
            },
            ms);
    }
    // "Старт" against the sample phone, up to the root shown.
    bool StartAndWait() {
        if (!emulator.pty.size() && !emulator.Start())
            return false;
        answers.Then(ModalAnswerer::Start());
        Make();
        return WaitReady();
    }
};

// The bytes of the 14 listings of a caching pass, in order.
inline std::string CachingPassListings() {
    std::string out;
    for (char code : std::string("QCT\\YV DER  ` ")) {
        out += std::string("AT+FSDL=\"") + code + "\"\r\n";
    }
    return out;
}

}  // namespace orvo
