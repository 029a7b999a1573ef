#include "gui/screenshots.h"

namespace r7k {

int RunScreenshotTour(QtView&, const std::string&) { return 1; }

}  // namespace r7k
