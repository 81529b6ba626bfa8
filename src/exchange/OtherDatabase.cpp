#include "exchange/OtherDatabase.h"

#include "exchange/OldKeyvaleFile.h"
#include "store/Cipher.h"
#include "store/Recordset.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFileInfo>

namespace kv {

namespace {

// The fields an import reads; a table without them is not ours.
const char* const kChildFields[] = {"ChildAutoID", "GroupName",   "Website",     "UserID",       "Password",
                                    "Description", "DateChanged", "PriorUserID", "PriorPassword"};

} // namespace

OtherDatabase::OtherDatabase(const QString& folder) {
    connection_ = sql::Connection::open(databaseFile(folder), kDatabasePassword);
    records_ = std::make_unique<Recordset>(connection_, kSelectChildData);
    for (const char* name : kChildFields)
        records_->fieldIndex(QString::fromLatin1(name));
    Recordset password(connection_, QStringLiteral("Select password from tblPassword"));
    password.moveFirst();
    password_ = trimBlanks(decipherField(password.field(0).toString()));
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
