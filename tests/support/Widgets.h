// keyvale_gui
#pragma once

#include <QWidget>

namespace kv::test {

// A window's control by its name; ends the test program at once when there is none, since every later
// step would only fail less clearly.
template <typename T> T* child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

} // namespace kv::test
