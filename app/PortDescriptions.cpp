#include "app/PortDescriptions.h"

#include <filesystem>
#include <fstream>

#include "serial/SerialPorts.h"

namespace orvo {

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (in)
        std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

}  // namespace

std::string PortDescription(const std::string& devicePath, const std::string& sysRoot) {
#ifdef _WIN32
    (void)sysRoot;
    return SystemPortDescription(devicePath);
#endif
    std::error_code ec;
    // The tty's name is that of the device node (a link such as a by-id name counts).
    fs::path node = fs::weakly_canonical(devicePath, ec);
    if (ec)
        node = devicePath;
    const std::string name = node.filename().string();
    if (name.empty())
        return {};
    const fs::path device = fs::path(sysRoot) / "class" / "tty" / name / "device";
    fs::path dir = fs::canonical(device, ec);
    if (ec)
        return {};
    // Up from the interface to the USB device, which carries the ids; a handful of
    // steps at most (usb-serial drivers add one level of their own).
    for (int step = 0; step < 4 && !dir.empty() && dir != dir.root_path(); ++step) {
        if (fs::exists(dir / "idVendor", ec)) {
            const std::string vendor = ReadLine(dir / "idVendor");
            const std::string product = ReadLine(dir / "idProduct");
            std::string text = ReadLine(dir / "manufacturer");
            const std::string model = ReadLine(dir / "product");
            if (!model.empty())
                text += (text.empty() ? "" : " ") + model;
            if (!vendor.empty() && !product.empty())
                text += (text.empty() ? "" : " ") + ("(" + vendor + ":" + product + ")");
            return text;
        }
        dir = dir.parent_path();
    }
    return {};
}

}  // namespace orvo
