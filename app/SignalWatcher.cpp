#include "app/SignalWatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orvo {

namespace {

#ifdef _WIN32

// The console's control handler runs on a thread of its own: it only records
// the event and asks the event loop to look.
std::atomic<int> g_pending{0};
std::function<void()> g_wake;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    int signo = 0;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            signo = SIGINT;
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            signo = SIGHUP;
            break;
        default:
            return FALSE;
    }
    int none = 0;
    g_pending.compare_exchange_strong(none, signo);
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app,
            [] {
                if (g_wake)
                    g_wake();
            },
            Qt::QueuedConnection);
    return TRUE;
}

#else

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[NSIG];

void OnSignal(int signo) {
    const int saved = errno;
    const char b = static_cast<char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
    errno = saved;
}

#endif

}  // namespace

const char* SignalName(int signo) {
    switch (signo) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "a signal";
    }
}

SignalWatcher::SignalWatcher(const std::vector<int>& watched, std::function<void(int)> onSignal)
    : signals_(watched), onSignal_(std::move(onSignal)) {
#ifdef _WIN32
    g_pending = 0;
    g_wake = [this] { Deliver(); };
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    if (::pipe(g_pipe) != 0)
        return;
    for (int fd : g_pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Deliver(); });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int signo : signals_) ::sigaction(signo, &sa, &g_previous[signo]);
#endif
}

SignalWatcher::~SignalWatcher() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    g_wake = nullptr;
#else
    for (int signo : signals_) ::sigaction(signo, &g_previous[signo], nullptr);
    notifier_.reset();
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

int SignalWatcher::TakePending() {
#ifdef _WIN32
    return g_pending.exchange(0);
#else
    if (g_pipe[0] < 0)
        return 0;
    char b = 0;
    int first = 0;
    // Every signal that came is read, so that the notifier stays quiet.
    while (::read(g_pipe[0], &b, 1) == 1)
        if (!first)
            first = static_cast<unsigned char>(b);
    return first;
#endif
}

void SignalWatcher::Deliver() {
    const int signo = TakePending();
    if (signo && onSignal_)
        onSignal_(signo);
}

}  // namespace orvo
