#pragma once

#include "store/RecordCodec.h"

#include <QString>
#include <functional>
#include <memory>

namespace kv {

namespace sql {
class Connection;
}

// How hard the key of a wrap is to guess: Argon2id's passes and memory. Each wrap keeps its own, so they
// can be raised for new wraps without making the older ones unreadable.
struct KdfParams {
    quint64 passes = 3;
    quint64 memoryBytes = quint64(256) << 20;
};
// What new wraps use: 3 passes over 256 MiB, about 0.4 s on a current desktop.
KdfParams kdfParams();
// Tests and the benchmark may make new wraps cheaper (or dearer).
void setKdfParams(const KdfParams& params);

// The names of the two wraps of a protected database's data key.
inline const QString kMasterPasswordWrap = QStringLiteral("MasterPassword");
inline const QString kRecoveryAnswerWrap = QStringLiteral("RecoveryAnswer");

// The data key of a protected database, unwrapped with the master password as typed (compared in upper
// case, as the program compares it); null when the password does not open it. Throws kv::Error when the key
// table is damaged.
std::shared_ptr<const SecretKey> unwrapWithMasterPassword(const sql::Connection& connection, const QString& typed);
// The same with the recovery question and the answer as typed (upper case, blanks at the ends dropped).
std::shared_ptr<const SecretKey> unwrapWithRecoveryAnswer(const sql::Connection& connection, const QString& question,
                                                          const QString& answer);

// Throws kv::Error (damaged) unless both wraps of a protected database are there in a form Keyvale writes.
void checkKeyWraps(const sql::Connection& connection);

// Wraps the data key under a new master password (as typed) and keeps it, sealed, in tblPassword, in one
// transaction. Throws kv::Error, leaving the old password in force.
void rewrapMasterPassword(sql::Connection& connection, const SecretKey& key, const QString& newPassword);

// Told how many records are converted out of how many; answers false to cancel.
using ConversionProgress = std::function<bool(qint64 done, qint64 total)>;

// Turns protection on: a fresh data key, wrapped under the master password and under the recovery question
// and answer; the master-password row and every record's secret fields sealed; the database marked. All in
// one transaction: a cancel, a failure or a kill leaves the file wholly as it was. Answers the data key, or
// null when cancelled. Throws kv::Error.
std::shared_ptr<const SecretKey> protectDatabase(sql::Connection& connection, const QString& masterPassword,
                                                 const QString& question, const QString& answer,
                                                 const ConversionProgress& progress = {});
// Turns protection off with the data key: every sealed value back to its plain form, the key table and the
// marker removed, in one transaction. False when cancelled. Throws kv::Error (a value that does not open
// stops it, and nothing is changed).
bool unprotectDatabase(sql::Connection& connection, const SecretKey& key, const ConversionProgress& progress = {});

// Rebuilds the database file at the size its records need. A sealed record fills a page of the file by itself
// and keeps it when protection is turned off, so that every later read of all records takes far longer until
// the file is rebuilt. The row numbers of tables without a numbered key may change: recordsets open on them
// must be read again. `keepGoing` is asked every so often (a window answers meanwhile) and may stop it. False
// when it was stopped or could not be done (the data are as they were, the file only larger).
bool compactDatabase(sql::Connection& connection, const std::function<bool()>& keepGoing = {});

} // namespace kv
