// Port search on Windows: the COM ports the registry's SERIALCOMM map names,
// probed, and described with the device manager's friendly name and USB ids.
#include <windows.h>
// windows.h first: the SetupAPI header builds on it.
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>

#include "serial/Misc.h"
#include "serial/SerialPorts.h"
#include "serial/WinText.h"

namespace orvo {

namespace {

// The number of "COM12"; 0 for names of another form (they sort last).
unsigned PortNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0 ||
        name.find_first_not_of("0123456789", 3) != std::string::npos) {
        return 0;
    }
    return static_cast<unsigned>(std::stoul(name.substr(3)));
}

bool PortIsFree(const std::string& name) {
    const std::wstring device = serial_system::DeviceNameFor(name);
    HANDLE h = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;  // missing, held by another program, or no rights
    }
    ::CloseHandle(h);
    return true;
}

std::string RegistryString(HKEY key, const wchar_t* value) {
    wchar_t data[512];
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::string();
    }
    data[size / sizeof(wchar_t)] = L'\0';
    return serial_system::Narrow(data);
}

// "USB\VID_067B&PID_2303&REV_0300" -> "067b:2303"; empty for other ids.
std::string UsbIds(const std::wstring& hardwareId) {
    std::wstring id = hardwareId;
    std::transform(id.begin(), id.end(), id.begin(), [](wchar_t c) { return std::towupper(c); });
    const std::size_t vid = id.find(L"VID_");
    const std::size_t pid = id.find(L"PID_");
    if (vid == std::wstring::npos || pid == std::wstring::npos || vid + 8 > id.size() ||
        pid + 8 > id.size()) {
        return std::string();
    }
    std::string ids = serial_system::Narrow(id.substr(vid + 4, 4) + L":" + id.substr(pid + 4, 4));
    std::transform(ids.begin(), ids.end(), ids.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return ids;
}

}  // namespace

std::vector<std::string> SerialPortCandidates(const std::string& /*devDir*/) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD valueNameSize = 256;
        wchar_t data[256];
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        LONG r = ::RegEnumValueW(key, i, valueName, &valueNameSize, nullptr, &type,
                                 reinterpret_cast<BYTE*>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (r != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataSize / sizeof(wchar_t)] = L'\0';
        std::string name = serial_system::Narrow(data);
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(std::move(name));
        }
    }
    ::RegCloseKey(key);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const unsigned na = PortNumber(a), nb = PortNumber(b);
        if ((na == 0) != (nb == 0)) {
            return na != 0;
        }
        return na != nb ? na < nb : a < b;
    });
    return names;
}

std::vector<std::string> ProbeSerialPorts(const std::vector<std::string>& candidates) {
    std::vector<std::string> found;
    for (const std::string& name : candidates) {
        if (PortIsFree(name)) {
            found.push_back(name);
        }
    }
    return found;
}

std::vector<std::string> ListSerialPorts(const std::string& devDir) {
    return ProbeSerialPorts(SerialPortCandidates(devDir));
}

// COM port names are already stable: a device keeps its number.
std::vector<std::string> WithStableNames(const std::vector<std::string>& ports,
                                         const std::string& /*devDir*/) {
    return ports;
}

std::string SystemPortDescription(const std::string& port) {
    HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string text;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        HKEY key = ::SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        const std::string name = RegistryString(key, L"PortName");
        ::RegCloseKey(key);
        if (name != port) {
            continue;
        }
        wchar_t buffer[512] = {};
        if (::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                                reinterpret_cast<BYTE*>(buffer),
                                                sizeof buffer - sizeof(wchar_t), nullptr)) {
            text = serial_system::Narrow(buffer);
        }
        wchar_t ids[1024] = {};
        if (::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_HARDWAREID, nullptr,
                                                reinterpret_cast<BYTE*>(ids),
                                                sizeof ids - 2 * sizeof(wchar_t), nullptr)) {
            const std::string usb = UsbIds(ids);  // the first id of the list is the fullest
            if (!usb.empty()) {
                text += (text.empty() ? "(" : " (") + usb + ")";
            }
        }
        break;
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return text;
}

Text PortOpenFailureReason(const std::string& port, int error) {
    switch (error) {
        case 0:
            return Text();
        case EACCES:
        case EPERM:
            return Text(MessageId::PortNoAccessWindows, {port});
        case EBUSY:
            return Text(MessageId::PortBusy, {port});
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return Text(MessageId::PortNotFound, {port});
        case ENOTTY:
            return Text(MessageId::PortNotSerial, {port});
        default:
            return Text(MessageId::PortFailed, {port, FormatLastError(error)});
    }
}

}  // namespace orvo
