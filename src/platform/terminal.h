#pragma once

namespace r7k {

// Whether the standard input or error stream is a terminal (a console on Windows) that a person
// reads or types at.
bool StandardInputIsTerminal();
bool StandardErrorIsTerminal();

}  // namespace r7k
