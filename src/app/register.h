#pragma once

// Registers every callback and procedure of the program with the dialog engine. Each part of
// the program keeps its own table here; RegisterAppCallbacks registers them all.

#include <span>

#include "engine/callbacks.h"

namespace r7k {

// The frame: configuration, help, about and printing.
std::span<const CallbackEntry> FrameCallbacks();

void RegisterAppCallbacks();

}  // namespace r7k
