#pragma once

// The screenshot tour: every dialog of the program opened in turn over the demo module and the
// simulated box, each written as DIR/NAME.png from the window's own rendering.

#include <string>
#include <vector>

namespace r7k {

class QtView;

// Returns 0 when every dialog was shown and written, 1 otherwise (what failed goes to stderr).
int RunScreenshotTour(QtView& view, const std::string& folder);

}  // namespace r7k
