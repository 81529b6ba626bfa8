#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace kv::test {

// A window's control by its name; ends the test program at once when there is none, since every later
// step would only fail less clearly.
template <typename T> T* child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

// A row of a data-driven test's table: `QTest::newRow(name) << values...`.
template <class... T> void row(const char* name, const T&... values) {
    (QTest::newRow(name) << ... << values);
}

// Shows a window and makes it the active one, so that its access keys and focus moves work as for a user.
inline void showActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window)) qWarning("%s did not become active", qPrintable(window.objectName()));
}

} // namespace kv::test
