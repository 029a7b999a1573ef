#pragma once

// The module check: the dialog "CheckModule" asks the box what sits in its slot and leaves the
// answers as items of the application store ("ModuleVersion", "Revision", "Serial", "16bit",
// "CardDetect", "CardType", "Type", "CardID", "Sector0", "Read0", "Read1000", "Protected",
// "157"). Reading, writing and erasing run it first and go on only when it ends with 1026.

#include <string>
#include <string_view>
#include <vector>

#include "app/module_ops.h"
#include "engine/callbacks.h"

namespace r7k {

inline constexpr int kCheckModuleResult = 1026;  // the id of "hModuleInfo"

extern const ModuleOp kModuleCheckOp;

// The command table of a check; the caller frees it with TableFree.
TableHandle BuildModuleCheckTable();

// The items an answer of the check reads besides the answer itself.
struct CheckItems {
  std::string card_type;    // "CardType"
  std::string card_detect;  // "CardDetect"
  std::string project;      // "Project"
};
// What the answer (echo first, prompt last) changes, in order.
std::vector<ItemChange> ExamineCheckAnswer(std::string_view answer, const CheckItems& items);

int CB_ModuleInfo(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_hModuleInfo(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Cancel(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Cross(FieldHandle field, int message, WParam wparam, LParam lparam);

// Runs "CheckModule" over the field's dialog with the application store: true when it ended
// with 1026 (a module was recognised).
bool RunModuleCheck(FieldHandle field);

}  // namespace r7k
