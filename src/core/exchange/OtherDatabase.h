#pragma once

#include "platform/Error.h"
#include "store/RecordCodec.h"

#include <QString>
#include <memory>

namespace kv {

class Recordset;
namespace sql {
class Connection;
} // namespace sql

// Another data folder's database, opened to import some of its records: its records in the grid's order
// and its master password. Only read.
class OtherDatabase {
public:
    // Opens `folder`'s database with the program's database password and reads its master password.
    // Throws kv::Error; isNotKeyvaleDatabase tells the errors of a file that is not one of ours.
    explicit OtherDatabase(const QString& folder);
    ~OtherDatabase();
    OtherDatabase(const OtherDatabase&) = delete;
    OtherDatabase& operator=(const OtherDatabase&) = delete;

    // False for a database that was never set up: it has no master password, and nothing may be taken
    // from it.
    bool hasMasterPassword() const { return hasMasterPassword_; }
    // The master password as stored (upper case), deciphered and trimmed; empty for a protected database,
    // which keeps none.
    const QString& masterPassword() const { return password_; }
    // Whether `typed` is its master password (compared in upper case). For a protected database this unwraps
    // its data key, so that its records can be read. Throws kv::Error when its key table is damaged.
    bool opensWith(const QString& typed);
    // How its records' secret fields are read: locked for a protected database until opensWith succeeds.
    const RecordCodec& codec() const { return codec_; }
    Recordset& records() const { return *records_; }

    static bool isNotKeyvaleDatabase(const Error& e);

private:
    std::shared_ptr<sql::Connection> connection_;
    std::unique_ptr<Recordset> records_;
    QString password_;
    RecordCodec codec_;
    bool hasMasterPassword_ = false;
};

// Whether two folders are the same folder once links and trailing separators are resolved.
bool sameFolder(const QString& a, const QString& b);

} // namespace kv
