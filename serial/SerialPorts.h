// Discovery of the serial ports the user can choose from.
#pragma once

#include <string>
#include <vector>

// The serial ports that can be opened now and are not held by another program, as
// device paths: /dev/ttyUSB0..255, /dev/ttyACM0..255, /dev/rfcomm0..255 and
// /dev/ttyS0..255, in that order.
std::vector<std::string> ListSerialPorts();

// The candidate device paths ListSerialPorts tries, in the order it tries them.
std::vector<std::string> SerialPortCandidates();

// The candidates that open for writing and are not locked by another program, in
// the order given. Each is opened for an instant and closed again; nothing is
// written and no line settings are touched.
std::vector<std::string> ProbeSerialPorts(const std::vector<std::string>& candidates);
