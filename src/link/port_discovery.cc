#include "link/port_discovery.h"

#include <string>

#include "link/simulated_box.h"

namespace r7k {

int DescribePorts(TableHandle table, const SystemRoots& roots) {
  if (!table || !CanListSerialPorts(roots)) return -1;
  for (const UsbSerialPort& port : ListUsbSerialPorts(roots)) {
    const int row = TableFindField(table, port.name.c_str(), port.name.size(), 0, 0);
    if (row < 0) continue;
    TableWriteField(table, row, 1, port.busy ? std::string(kDeviceInUse) : port.product);
  }
  return 0;
}

int PortDiscovery(StoreHandle app_store, std::string_view saved_port, const SystemRoots& roots) {
  if (!app_store) return -1;
  TableHandle table = TableNew(2);
  TableWriteRow(table, kRowSetNames, std::vector<std::string>{"Port1", "Description"});
  std::string first_converter;
  for (const UsbSerialPort& port : ListUsbSerialPorts(roots)) {
    TableWriteRow(table, kRowAppend, std::vector<std::string>{port.name, ""});
    if (port.ftdi && first_converter.empty()) first_converter = port.name;
  }
  // The simulated box is offered but never chosen here: only the user picks it.
  DescribePorts(table, roots);
  TableWriteRow(
      table, kRowAppend,
      std::vector<std::string>{std::string(kSimPortName), std::string(kSimulatedBoxDescription)});
  const bool written = StoreSetTable(app_store, "Ports", table);
  if (written) {
    if (!saved_port.empty()) {
      const int row = TableFindField(table, saved_port.data(), saved_port.size(), 0, 0);
      if (row >= 0) StoreSetString(app_store, "Port1", *TableCell(table, row, 0));
    } else if (!first_converter.empty()) {
      StoreSetString(app_store, "Port1", first_converter);
    }
  }
  TableFree(table);
  return written ? 1 : -1;
}

}  // namespace r7k
