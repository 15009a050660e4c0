// The serial line on Windows: a COM port opened exclusively and overlapped, set
// with SetCommState and SetCommTimeouts; the reader waits for the first byte with
// an overlapped one-byte ReadFile beside the stop event, then takes what the driver
// holds; the writer waits for an overlapped WriteFile beside the stop event.
//
// The reader does not wait with WaitCommEvent: under wine (our test bed) a pending
// WaitCommEvent on a COM port ends "aborted" again and again while the line is
// idle, and a read with ReadIntervalTimeout = ReadTotalTimeoutMultiplier = MAXDWORD
// waits its whole total time instead of returning with the first byte. A read
// without time-outs for one byte behaves the same on Windows and under wine.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "serial/Misc.h"
#include "serial/SystemLine.h"
#include "serial/WinText.h"

namespace orvo {

namespace serial_system {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kWaitTimeoutResult = WAIT_TIMEOUT;  // 258, logged for a write time-out
constexpr DWORD kDriverQueueSize = 4096;

const char kInvalidHandleText[] =
    "ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.";

HANDLE H(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 0x7ffffffe ? 0x7ffffffe : static_cast<int>(ms);
}

DWORD WaitMs(int ms) {
    return ms < 0 ? INFINITE : static_cast<DWORD>(ms);
}

std::string Win32ErrorLine(DWORD code, const char* prefix) {
    return SystemErrorLineWithText(Win32ErrorText(code), prefix);
}

// The errors with which a pending read or wait ends when the USB adapter (or the
// device behind the port) has gone away.
bool IsRemovalError(DWORD err) {
    return err == ERROR_OPERATION_ABORTED || err == ERROR_ACCESS_DENIED ||
           err == ERROR_BAD_COMMAND || err == ERROR_DEVICE_REMOVED ||
           err == ERROR_DEVICE_NOT_CONNECTED || err == ERROR_GEN_FAILURE;
}

}  // namespace

int OpenFailureReason(unsigned long err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
            return ENOENT;
        // A COM port that another program holds answers "access denied".
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return EBUSY;
        case ERROR_PRIVILEGE_NOT_HELD:
        case ERROR_NOACCESS:
            return EACCES;
        default:
            return EIO;
    }
}

bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

void ConfigureLine(HANDLE h, uint32_t baudRate, uint32_t bits) {
    if (!::SetupComm(h, kDriverQueueSize, kDriverQueueSize)) {
        CommLog(Win32ErrorLine(::GetLastError(), "SetupComm: "));
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb)) {
        CommLog(Win32ErrorLine(::GetLastError(), "GetCommState: "));
        return;
    }
    dcb.BaudRate = baudRate;
    const uint32_t size = bits & 0xFF;
    dcb.ByteSize = static_cast<BYTE>(size >= 5 && size <= 8 ? size : 8);
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(h, &dcb)) {
        CommLog(Win32ErrorLine(::GetLastError(), "SetCommState: "));
    }
    // No time-outs: a read ends when it has the bytes it asked for. The reader
    // asks for one byte and waits for it, then for exactly what the driver holds.
    // Writes have no driver limit either: the writer bounds its own wait.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!::SetCommTimeouts(h, &timeouts)) {
        CommLog(Win32ErrorLine(::GetLastError(), "SetCommTimeouts: "));
    }
    // The DCB raises DTR and RTS already; the escapes say so again for drivers that
    // take the lines from them only. Ports without modem lines refuse them.
    (void)::EscapeCommFunction(h, SETDTR);
    (void)::EscapeCommFunction(h, SETRTS);
    (void)::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
}

}  // namespace

struct Line::Native {
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED readOv{};
    OVERLAPPED writeOv{};
    uint8_t first = 0;  // the byte a pending read waits for
    bool readPending = false;
    bool countersKept = true;
    LineErrorCounters counters;

    ~Native() {
        for (OVERLAPPED* ov : {&readOv, &writeOv}) {
            if (ov->hEvent != nullptr) {
                ::CloseHandle(ov->hEvent);
            }
        }
    }

    // Adds the error flags ClearCommError reported to the counters.
    void Count(DWORD errors) {
        if (errors & CE_FRAME) {
            ++counters.frame;
        }
        if (errors & (CE_OVERRUN | CE_RXOVER)) {
            ++counters.overrun;
        }
        if (errors & CE_RXPARITY) {
            ++counters.parity;
        }
        if (errors & CE_BREAK) {
            ++counters.brk;
        }
    }

    // Bytes the driver holds for reading; -1 when the port no longer answers.
    long Queued() {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(port, &errors, &status)) {
            return -1;
        }
        Count(errors);
        return static_cast<long>(status.cbInQue);
    }
};

// ---------------------------------------------------------------------------
// Events

Event::Event() {
    HANDLE h = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    handle_ = reinterpret_cast<std::intptr_t>(h);
    if (h == nullptr) {
        error_ = ENOMEM;
    }
}

Event::~Event() {
    if (H(handle_) != nullptr) {
        ::CloseHandle(H(handle_));
    }
}

bool Event::Valid() const {
    return H(handle_) != nullptr;
}

void Event::Set() {
    ::SetEvent(H(handle_));
}

void Event::Clear() {
    ::ResetEvent(H(handle_));
}

bool Event::IsSet() const {
    return ::WaitForSingleObject(H(handle_), 0) == WAIT_OBJECT_0;
}

int Event::WaitEither(const Event& a, const Event& b, int ms) {
    HANDLE both[2] = {H(a.handle_), H(b.handle_)};
    DWORD r = ::WaitForMultipleObjects(2, both, FALSE, WaitMs(ms));
    if (r == WAIT_OBJECT_0 || r == WAIT_OBJECT_0 + 1) {
        return static_cast<int>(r - WAIT_OBJECT_0);
    }
    return r == WAIT_TIMEOUT ? -1 : -2;
}

// ---------------------------------------------------------------------------
// The line

Line::Line(std::unique_ptr<Native> native) : native_(std::move(native)) {}

Line::~Line() {
    Native& n = *native_;
    if (n.readPending) {
        // The pending read writes into `first` and readOv: end it and see it end
        // before they go.
        (void)::CancelIoEx(n.port, &n.readOv);
        DWORD ignored = 0;
        (void)::GetOverlappedResult(n.port, &n.readOv, &ignored, TRUE);
        n.readPending = false;
    }
    ::CloseHandle(n.port);
}

std::unique_ptr<Line> Line::Open(const std::string& path, uint32_t baudRate, uint32_t bits) {
    auto native = std::make_unique<Native>();
    for (OVERLAPPED* ov : {&native->readOv, &native->writeOv}) {
        ov->hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (ov->hEvent == nullptr) {
            CommLog(Win32ErrorLine(::GetLastError(), "Unable to CreateEvent: "));
            throw ECommsError("Ошибка открытия порта", ENOMEM);
        }
    }
    const std::wstring device = DeviceNameFor(path);
    HANDLE h = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        const std::string prefix = "Unable to open " + path + ": ";
        CommLog(Win32ErrorLine(err, prefix.c_str()));
        const int reason = OpenFailureReason(err);
        if (reason == EBUSY) {
            CommLog(path + " is held by another program");
        }
        throw ECommsError("Ошибка открытия порта", reason);
    }
    DCB probe{};
    probe.DCBlength = sizeof probe;
    if (::GetFileType(h) != FILE_TYPE_CHAR || !::GetCommState(h, &probe)) {
        ::CloseHandle(h);
        CommLog(path + " is not a serial device");
        throw ECommsError("Неверный указатель. ", ENOTTY);
    }
    native->port = h;
    ConfigureLine(h, baudRate, bits);
    return std::unique_ptr<Line>(new Line(std::move(native)));
}

Line::ReadResult Line::Read(uint8_t* buffer, std::size_t capacity, int ms, const Event& stop) {
    Native& n = *native_;
    ReadResult result;
    const auto lost = [&result](DWORD err) {
        if (err == ERROR_INVALID_HANDLE) {
            CommLog(kInvalidHandleText);
            result.status = ReadStatus::Failed;
        } else {
            // A removed adapter ends the pending read so (ERROR_OPERATION_ABORTED,
            // ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_DEVICE_REMOVED, ...):
            // the line is lost as when a tty hangs up.
            result.status = ReadStatus::Lost;
            result.failure = Win32ErrorLine(
                err, IsRemovalError(err) ? "Unable to HandleReadEvent: the device is gone: "
                                         : "Unexpected ReadFile error: ");
        }
        return result;
    };
    if (capacity == 0) {
        return result;
    }

    std::size_t got = 0;
    if (!n.readPending) {
        if (stop.IsSet()) {
            result.status = ReadStatus::Stop;
            return result;
        }
        ::ResetEvent(n.readOv.hEvent);
        DWORD one = 0;
        if (::ReadFile(n.port, &n.first, 1, &one, &n.readOv)) {
            got = one;  // a byte was there already
        } else {
            const DWORD err = ::GetLastError();
            if (err != ERROR_IO_PENDING) {
                return lost(err);
            }
            n.readPending = true;
        }
    }
    if (n.readPending) {
        HANDLE both[2] = {H(stop.handle_), n.readOv.hEvent};
        const DWORD r = ::WaitForMultipleObjects(2, both, FALSE, WaitMs(ms));
        if (r == WAIT_OBJECT_0) {
            result.status = ReadStatus::Stop;
            return result;
        }
        if (r == WAIT_TIMEOUT) {
            return result;
        }
        if (r != WAIT_OBJECT_0 + 1) {
            CommLog(Win32ErrorLine(::GetLastError(), "Read WAIT_FAILED: "));
            result.status = ReadStatus::Failed;
            return result;
        }
        DWORD one = 0;
        const bool ok = ::GetOverlappedResult(n.port, &n.readOv, &one, FALSE);
        n.readPending = false;
        if (!ok) {
            return lost(::GetLastError());
        }
        got = one;
    }
    if (got == 0) {
        return result;
    }
    buffer[0] = n.first;

    // The rest of what has arrived: exactly what the driver holds, so the read
    // ends at once.
    const long queued = n.Queued();
    if (queued > 0 && capacity > 1) {
        const DWORD want = static_cast<DWORD>(
            std::min<std::size_t>(capacity - 1, static_cast<std::size_t>(queued)));
        ::ResetEvent(n.readOv.hEvent);
        DWORD more = 0;
        if (!::ReadFile(n.port, buffer + 1, want, &more, &n.readOv)) {
            const DWORD err = ::GetLastError();
            if (err != ERROR_IO_PENDING || !::GetOverlappedResult(n.port, &n.readOv, &more, TRUE)) {
                // The byte in hand still reaches the owner; the failure shows
                // again on the next read.
                more = 0;
            }
        }
        got += more;
    }
    result.status = ReadStatus::Data;
    result.count = got;
    return result;
}

Line::WriteStatus Line::Write(const uint8_t* data, std::size_t count, int ms, const Event& stop) {
    Native& n = *native_;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::size_t position = 0;
    const auto failed = [](DWORD err, const char* prefix) {
        if (err == ERROR_INVALID_HANDLE) {
            CommLog(kInvalidHandleText);
            return WriteStatus::Stopped;
        }
        CommLog(Win32ErrorLine(err, prefix));
        CommLog("Closing TAPI");
        return WriteStatus::Failed;
    };
    while (position < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - position, 0x10000));
        ::ResetEvent(n.writeOv.hEvent);
        DWORD written = 0;
        if (!::WriteFile(n.port, data + position, chunk, &written, &n.writeOv)) {
            const DWORD err = ::GetLastError();
            if (err != ERROR_IO_PENDING) {
                return failed(err, "Error to writing to CommFile");
            }
            HANDLE both[2] = {H(stop.handle_), n.writeOv.hEvent};
            const DWORD r =
                ::WaitForMultipleObjects(2, both, FALSE, WaitMs(MillisecondsUntil(deadline)));
            if (r != WAIT_OBJECT_0 + 1) {
                // Stopped, timed out or failed: the write must end before its
                // structure is used again.
                const DWORD waitErr = ::GetLastError();
                (void)::CancelIoEx(n.port, &n.writeOv);
                (void)::PurgeComm(n.port, PURGE_TXABORT | PURGE_TXCLEAR);
                DWORD ignored = 0;
                (void)::GetOverlappedResult(n.port, &n.writeOv, &ignored, TRUE);
                if (r == WAIT_OBJECT_0) {
                    return WriteStatus::Stopped;  // Close is stopping us: no hang-up request
                }
                if (r == WAIT_TIMEOUT) {
                    CommLog("Unexpected Wait return value " + std::to_string(kWaitTimeoutResult));
                    return WriteStatus::Failed;
                }
                CommLog(Win32ErrorLine(waitErr, "Write WAIT_FAILED: "));
                return WriteStatus::Failed;
            }
            if (!::GetOverlappedResult(n.port, &n.writeOv, &written, FALSE)) {
                return failed(::GetLastError(), "Error writing to CommFile while waiting");
            }
        }
        position += written;
        if (written == 0 && MillisecondsUntil(deadline) == 0) {
            CommLog("Unexpected Wait return value " + std::to_string(kWaitTimeoutResult));
            (void)::PurgeComm(n.port, PURGE_TXABORT | PURGE_TXCLEAR);
            return WriteStatus::Failed;
        }
    }
    return WriteStatus::Done;
}

void Line::Purge(bool input, bool output) {
    DWORD flags = (input ? PURGE_RXCLEAR : 0) | (output ? PURGE_TXCLEAR : 0);
    if (flags != 0) {
        (void)::PurgeComm(native_->port, flags);
    }
}

CountersState Line::ReadErrorCounters(LineErrorCounters& out) {
    Native& n = *native_;
    if (!n.countersKept) {
        return CountersState::NotKept;
    }
    // While a read is pending the counters are those the last completed read
    // brought (each one asks the driver, and counts its errors).
    if (n.readPending) {
        out = n.counters;
        return CountersState::Counted;
    }
    if (n.Queued() < 0) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION ||
            err == ERROR_INVALID_PARAMETER) {
            n.countersKept = false;
            return CountersState::NotKept;
        }
        CommLog(Win32ErrorLine(err, "ClearCommError: "));
        return CountersState::Failed;
    }
    out = n.counters;
    return CountersState::Counted;
}

// ---------------------------------------------------------------------------
// Threads, the log file, error texts

void RaiseThreadPriority(int steps) {
    (void)::SetThreadPriority(::GetCurrentThread(),
                              steps >= 2 ? THREAD_PRIORITY_HIGHEST : THREAD_PRIORITY_ABOVE_NORMAL);
}

int OpenLogFile(const std::string& name, bool truncate, int& error) {
    const int flags =
        _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT | (truncate ? _O_TRUNC : 0);
    int fd = ::_wopen(Widen(name).c_str(), flags, _S_IREAD | _S_IWRITE);
    error = fd < 0 ? errno : 0;
    return fd;
}

bool WriteLogLine(int file, const std::string& line) {
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        int n = ::_write(file, p, static_cast<unsigned>(std::min<std::size_t>(left, 0x7fff0000)));
        if (n < 0) {
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void CloseLogFile(int file) {
    ::_close(file);
}

std::string ErrnoText(int code) {
    const char* text = std::strerror(code);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) {
        return std::string();
    }
    return text;
}

// ---------------------------------------------------------------------------
// Text at the edge

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                              n);
    }
    return out;
}

std::string Narrow(const std::wstring& utf16) {
    if (utf16.empty()) {
        return std::string();
    }
    int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr,
                                  0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(),
                              n, nullptr, nullptr);
    }
    return out;
}

std::string Win32ErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || text == nullptr) {
        return "FormatMessage failed on error " + std::to_string(code) +
               " for the following reason: " + std::to_string(::GetLastError());
    }
    std::wstring s(text, n);
    ::LocalFree(text);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) {
        s.pop_back();
    }
    return Narrow(s);
}

std::wstring DeviceNameFor(const std::string& port) {
    std::string name = port;
    if (name.rfind("\\\\.\\", 0) == 0) {
        name = name.substr(4);
    }
    if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') &&
        (name[1] == 'O' || name[1] == 'o') && (name[2] == 'M' || name[2] == 'm') &&
        name.find_first_not_of("0123456789", 3) == std::string::npos) {
        return L"\\\\.\\" + Widen(name);
    }
    return Widen(port);
}

}  // namespace serial_system

}  // namespace orvo
