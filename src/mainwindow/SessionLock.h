// keyvale_gui
#pragma once

class QDBusConnection;

namespace kv {

class frmMain;

// Locks the main window out, as its idle timer does, when the session's screen locks or the machine is
// about to sleep. While one of the program's dialogs is open the lock-out waits for it to close, as the
// idle timer waits; a window already locked stays as it is.
void lockWithSession(frmMain* window, const QDBusConnection& sessionBus, const QDBusConnection& systemBus);

} // namespace kv
