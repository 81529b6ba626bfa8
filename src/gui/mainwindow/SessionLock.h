#pragma once

class QDBusConnection;

namespace kv {

class frmMain;

// Locks the main window out, as its idle timer does, when the session's screen locks or the machine is
// about to sleep.
void lockWithSession(frmMain* window, const QDBusConnection& sessionBus, const QDBusConnection& systemBus);

// The session's lock-out. It does not wait for the user: the program's other windows (generator, find,
// options, about, message boxes, a running copy's progress) are closed at once as their own Exit or Cancel
// would close them, storing nothing they have not stored, and the main window locks as soon as they are
// gone. A window already locked stays as it is.
void lockOutForSession(frmMain* window);

} // namespace kv
