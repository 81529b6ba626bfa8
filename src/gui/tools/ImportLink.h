#pragma once

#include <QString>
#include <functional>

namespace kv {

// What an import needs of the main window: its message panel, the group it shows, and a re-read of its
// group lists and grid once rows were added, showing `group` (all groups when it is empty or gone).
struct ImportLink {
    std::function<void(const QString& text)> setStatus;
    std::function<QString()> shownGroup;
    std::function<void(const QString& group)> reload;
};

} // namespace kv
