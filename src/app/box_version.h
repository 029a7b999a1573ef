#pragma once

// The box's firmware version: while the application store has no "ModuleVersion", the main
// dialog opens the small dialog "ModuleVersion", which asks the box with "rep 00 00 02" and,
// when the link answers "Timeout", once more after switching to the partner baud rate.

#include <optional>
#include <string>
#include <string_view>

#include "app/module_ops.h"
#include "engine/callbacks.h"

namespace r7k {

extern const ModuleOp kVersionOp;

// The command table of the query; the caller frees it with TableFree.
TableHandle BuildVersionTable();

// The version an answer to "rep 00 00 02" gives: the cut answer from offset 12; nullopt for
// any other answer.
std::optional<std::string> ExamineVersionAnswer(std::string_view answer);

// The main dialog's hidden "Version" button. Idle: runs "ModuleVersion" while no version is
// known, but not again after a failed attempt on the same port ("Port1"). Activated (a posted
// command or a menu): forgets the failed attempt and asks again.
int CB_VersionDialog(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_GetBoxVersion(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_hGetModVer(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
