#pragma once

namespace kv {

// Takes the data folder (gDataFolder) for this instance before the database is opened. When another
// Keyvale already has it, that one is brought forward (or, when it does not answer, the user is told it
// is running) and the answer is false: this start ends without opening the file.
bool claimDataFolder();

// Brings the program's windows forward: the main window, and over it whatever window is open on it (the
// log-on window of a locked program, a dialog).
void bringProgramForward();

} // namespace kv
