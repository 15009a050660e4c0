// What the system knows of a serial device: for a USB adapter or phone cable the
// maker and model the device reports (from sysfs), for anything else nothing.
#pragma once

#include <string>

namespace orvo {

// "Prolific Technology Inc. USB-Serial Controller (067b:2303)" for devicePath
// ("/dev/ttyUSB0", or a link to it); empty when sysRoot has no USB device above
// the port's tty entry.
std::string PortDescription(const std::string& devicePath, const std::string& sysRoot = "/sys");

}  // namespace orvo
