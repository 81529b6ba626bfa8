#pragma once

namespace kv {

// The main window's own copies of the view options. They start from the stored option settings when the
// window loads; afterwards only the toolbar changes them, and it never writes them back.
struct ViewFlags {
    bool ShowPasswordText = false;
    bool ShowPasswordColumn = false;
    bool ShowPriorUserIDPassword = false;
};

} // namespace kv
