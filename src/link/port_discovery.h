#pragma once

// The discovery of the box's port at start: the table "Ports" (columns "Port1" and
// "Description") in the application store, one row per USB serial converter (FTDI ones
// first) and a last row for the simulated box, and the item "Port1" put back when the saved
// port is still there.

#include <string_view>

#include "platform/usb_serial_ports.h"
#include "store/item_store.h"
#include "store/table.h"

namespace r7k {

inline constexpr std::string_view kSimulatedBoxDescription = "Simulated R7000Link box";
inline constexpr std::string_view kDeviceInUse = "Device In Use";

// Writes "Ports" and returns 1, or -1 when it could not be written. `saved_port` is the
// "Port1" saved last time: restored when it is in the list; when nothing was saved, "Port1"
// becomes the first FTDI converter, else it stays unset (never "sim").
int PortDiscovery(StoreHandle app_store, std::string_view saved_port,
                  const SystemRoots& roots = {});

// Fills column 1 of the rows whose port name matches a converter: its USB product string, or
// "Device In Use" when another process holds it. 0, or -1 when the ports cannot be listed.
int DescribePorts(TableHandle table, const SystemRoots& roots = {});

}  // namespace r7k
