#pragma once

// The scripted user path of r7kprog.exe --user-path PORT DEMO.r7v READ.r7v [PICTURES]: the
// program used through its real controls as the Qt view's GUI test uses it: the configuration
// (PORT, the demo module), the main dialog, the demo module browsed (an entry's Info, a pattern
// and the next one, a sector and its technique's pages), then Upload into READ.r7v from the box
// on PORT (the main dialog pictured into the folder PICTURES while it reads), an Upload stopped
// with Stop, and a Download of the demo module. Each step says "ok: ..." or "FAILED: ..." on
// stdout; the status is 0 when all passed.

#include <string>
#include <vector>

namespace r7k {

class WinView;

int RunUserPath(WinView& view, const std::vector<std::string>& args);

}  // namespace r7k
