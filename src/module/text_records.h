#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The machine text records "_0000" to "_0006": settings of the console (model, needles,
// motor, edge and stop positions) written out as lines for the "Text" dialog.
namespace r7k {

// True for the records that have lines to show: "_0000", "_0001", "_0002" and "_0005".
// "_0003", "_0004", "_0006" and any other name have none.
bool HasTextRecordView(std::string_view name);

// The lines of the record, each ending in a carriage return and line feed; nothing for a
// name without a view. Fields that lie beyond a short record are left out and a last line
// says how short it was; table indexes beyond the tables read "unknown (%d)".
std::optional<std::string> TextRecordText(std::string_view name, std::span<const uint8_t> record);

// A motor edge pair (left A, right B) as displayed: the scale shifts when A + B passes 304.
struct EdgeValues {
  int left = 0;
  int right = 0;
};
EdgeValues ConvertEdges(int left, int right);

}  // namespace r7k
