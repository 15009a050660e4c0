// Discovery of the serial ports the user can choose from, and what to tell the
// user when a port cannot be opened.
#pragma once

#include <string>
#include <vector>

#include "engine/Messages.h"

namespace orvo {

// The serial ports that can be opened now and are not held by another program, as
// device paths: the candidates in devDir, probed. On Windows the candidates are the
// COM ports of the registry's serial map, by number, and devDir is not used.
std::vector<std::string> ListSerialPorts(const std::string& devDir = "/dev");

// ports, each followed by the stable names the system gives it in devDir/serial/by-id
// (a USB adapter's "usb-<maker>_<model>_<serial>-if00-port0"), which stay the same
// from one plugging in to the next while the kernel's number may change. The links
// are read, not followed to other folders; names are in alphabetical order.
std::vector<std::string> WithStableNames(const std::vector<std::string>& ports,
                                         const std::string& devDir = "/dev");

// The device nodes of the serial families present in devDir: ttyUSB<n>, ttyACM<n>,
// rfcomm<n> and ttyS<n> that are character devices (a link to one counts), family
// by family in that order, each in ascending order of n. Nothing else in the
// folder is touched: no device is opened.
std::vector<std::string> SerialPortCandidates(const std::string& devDir = "/dev");

// The candidates that open for writing and are not locked by another program, in
// the order given. Each is opened for an instant and closed again; nothing is
// written and no line settings are touched.
std::vector<std::string> ProbeSerialPorts(const std::vector<std::string>& candidates);

// Why port could not be opened and what to do, for the errno value the serial
// component reported (ECommsError::Error()): one line for the user (phrased by
// the front end), empty when there is nothing to add.
Text PortOpenFailureReason(const std::string& port, int error);

// Windows: the device manager's friendly name of a COM port and the USB ids of
// the device behind it ("Prolific USB-to-Serial Comm Port (COM5) (067b:2303)");
// empty when the system names none. (Linux reads this from sysfs in the app layer.)
std::string SystemPortDescription(const std::string& port);

}  // namespace orvo
