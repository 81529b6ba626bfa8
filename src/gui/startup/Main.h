#pragma once

#include <functional>

namespace kv {

// The start-up sequence: splash, settings file, database, options, master password, then first-run
// setup or log-on, and the main window. `showMainWindow` opens the main window (not modal). Answers true
// when the main window was shown, so the caller runs the event loop; false when the program is to end.
bool Main(const std::function<void()>& showMainWindow);

} // namespace kv
