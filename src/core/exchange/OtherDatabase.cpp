#include "exchange/OtherDatabase.h"

#include "access/Protection.h"
#include "exchange/OldKeyvaleFile.h"
#include "store/Cipher.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFileInfo>

namespace kv {

OtherDatabase::OtherDatabase(const QString& folder) {
    connection_ = sql::Connection::open(databaseFile(folder), kDatabasePassword);
    // Its fields are found by name; one that is missing makes it no database of ours.
    checkDeliveredTables(*connection_);
    codec_ = codecForDatabase(*connection_);
    records_ = std::make_unique<Recordset>(connection_, kSelectChildData);
    Recordset password(connection_, QStringLiteral("Select password from tblPassword"));
    if (password.eof()) return; // never set up: no master password yet
    hasMasterPassword_ = true;
    // A protected database keeps its password only as the wrap of its key.
    if (!codec_.isProtected()) password_ = trimBlanks(decipherField(password.field(0).toString()));
}

bool OtherDatabase::opensWith(const QString& typed) {
    if (!codec_.isProtected()) return hasMasterPassword_ && typed.toUpper() == password_;
    if (codec_.isUnlocked()) return unwrapWithMasterPassword(*connection_, typed) != nullptr;
    auto key = unwrapWithMasterPassword(*connection_, typed);
    if (!key) return false;
    codec_ = RecordCodec::protectedWith(std::move(key));
    return true;
}

OtherDatabase::~OtherDatabase() {
    records_.reset();
    if (connection_) connection_->close();
}

bool OtherDatabase::isNotKeyvaleDatabase(const Error& e) {
    switch (e.number()) {
    case err::NotAValidPassword:
    case err::NotADatabase:
    case err::TableMissing:
    case err::ItemNotFound:
        return true;
    default:
        return false;
    }
}

bool sameFolder(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca == cb;
}

} // namespace kv
