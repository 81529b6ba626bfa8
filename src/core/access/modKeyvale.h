#pragma once

#include "access/Protection.h"
#include "platform/AppPaths.h"

#include <QString>

namespace kv {

// Texts shown by the splash, the status bar and the about box.
inline QString gVersionText;
inline QString gMakerNotice;
inline QString gMakerName;

// The master password and the recovery values, held in upper case.
inline QString gMasterPassword;
inline QString gRecoveryQuestion;
inline QString gRecoveryAnswer;

// Shared flags.
inline bool gFirstRun = false;        // a new installation: no master password yet
inline bool gLoggedOn = false;        // the log-on window accepted the master password
inline bool gSetupDone = false;       // first-run setup or recovery completed
inline bool gFormOpen = false;        // a secondary window is open; the idle timer waits
inline bool gMainInitialised = false; // the main window has loaded (a log-on now is a lock-out)

// The settings file's section and key for the data folder.
inline const QString kIniSection = QStringLiteral("Options");
inline const QString kIniDataFolderKey = QStringLiteral("KeyvaleLocation");
// The settings file keeps values of at most this many characters, as it always has: a longer one is cut
// when it is read.
inline constexpr int kIniValueLimit = 254;

// Sets gMakerNotice, gMakerName and gVersionText ("v 6.0.1"), in that order.
void BuildVersionText();
// Creates the settings file when it is missing and reads the data folder from it; false when the file
// could not be read (the program is then to end).
bool InitializeINIfile();
// Reads the data folder from the settings file into gDataFolder, writing the default (gAppPath) back
// when it is empty. An unreadable file ends in the delete-and-end question; answers false then.
bool ReadDataFolder(const QString& iniFile);
// The data folder as the settings file names it for the next start: the value cut as start-up cuts it,
// empty when there is none.
QString readDataFolderSetting(const QString& iniFile);
// Names the data folder in the settings file; false when the file could not be written.
bool writeDataFolderSetting(const QString& iniFile, const QString& folder);
// Reads tblPassword into the master password and recovery values; sets gFirstRun for a new
// installation. A protected database keeps them only sealed: they stay empty. False means that start-up
// must end.
bool LoadMasterPassword();
// Writes the master password and recovery values, enciphered, into the one row of tblPassword. False,
// after telling the user, when the row could not be written.
bool SaveMasterPassword();

// Whether a typed master password opens the program: it is compared in upper case, as it is stored. For a
// protected database it is the password that unwraps the data key, and a match unlocks the records.
bool MasterPasswordMatches(const QString& typed);
// Whether the recovery question and typed answer (upper case) are the stored ones. For a protected database
// they unwrap the data key, and a match unlocks the records.
bool RecoveryAnswerMatches(const QString& question, const QString& answer);
// Locks the records of a protected database: the data key is forgotten until the next log-on.
void LockRecords();

enum class ProtectionChange { Changed, WrongPassword, Cancelled };
// Turns the protection of the open database on or off after checking the master password (as typed), every
// record converted in one transaction. Throws kv::Error (the file is then as it was). Turned off, the file
// is then rebuilt at the size the plain records need. The shared recordsets are read again.
ProtectionChange SetDatabaseProtected(bool on, const QString& typedPassword, const ConversionProgress& progress = {});

enum class PasswordChange { Changed, Refused, NotStored };
// Makes `newPassword` (as typed) the master password: Refused, after the rule's message, when it breaks
// a password rule or cannot be stored; NotStored, keeping the old password, when tblPassword could not be
// written (the user has been told).
PasswordChange ChangeMasterPassword(const QString& newPassword);

// A file delivered with the program (template, help, sounds): the one in `folder` when it is there, else
// the one beside the executable (so a program folder named with --app-dir still finds them), else the
// path in `folder`, which then names where it was looked for.
QString deliveredFile(const QString& folder, const QString& name);

// Shared routines.
void AddBackslash(QString& path);
QString StripNull(const QString& text);
QString GetWinDir();
// Creates every missing folder level of the path; false (after the message) when that fails.
bool MakeDirPath(const QString& path);

// Holds the idle timer (and a lock with the session) off while a long command runs without a window of
// its own; the flag is put back on every way out.
class FormOpenHeld {
public:
    FormOpenHeld() : before_(gFormOpen) { gFormOpen = true; }
    ~FormOpenHeld() { release(); }
    FormOpenHeld(const FormOpenHeld&) = delete;
    FormOpenHeld& operator=(const FormOpenHeld&) = delete;
    void release() { gFormOpen = before_; }

private:
    bool before_;
};

} // namespace kv
