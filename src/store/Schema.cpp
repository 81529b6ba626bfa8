#include "store/Schema.h"

#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QStringList>
#include <utility>

namespace kv {

namespace {

// Group names, web sites and option names compare without regard to case, as users expect of them.
const char* const kSchema = R"sql(
CREATE TABLE tblMasterData (
    GroupName TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
);
CREATE TABLE tblChildData (
    ChildAutoID INTEGER PRIMARY KEY AUTOINCREMENT,
    GroupName TEXT COLLATE NOCASE NOT NULL
        REFERENCES tblMasterData (GroupName) ON UPDATE CASCADE ON DELETE CASCADE,
    Website TEXT COLLATE NOCASE,
    UserID TEXT,
    Password TEXT,
    Description TEXT,
    DateChanged TEXT,
    PriorUserID TEXT,
    PriorPassword TEXT
);
CREATE INDEX idxChildDataGroupWebsite ON tblChildData (GroupName, Website);
CREATE TABLE tblOptions (
    OptionName TEXT COLLATE NOCASE NOT NULL,
    OptionValue TEXT
);
CREATE TABLE tblPassword (
    Password TEXT,
    Question TEXT,
    Answer TEXT
);
CREATE TABLE tbladmin (
    pwdLength TEXT,
    AlphaNumeric TEXT
);
)sql";

// The option rows of a new installation; a null value is stored as NULL.
const std::pair<const char*, const char*> kOptionRows[] = {
    {"ShutDownTime", "60"},
    {"ShowPasswordText", "0"},
    {"ShowPasswordColumn", "0"},
    {"ShowPriorUserIDPassword", "0"},
    {"ShowDeletedRecord", "0"},
    {"ShutDownKeyvale", "0"},
    {"ConfirmUpdate", "-1"},
    {"BackupLocation", nullptr},
    {"GridBackColorOdd", "16776960"},
    {"GridForeColorOdd", "0"},
    {"GridBackColorEven", "16777215"},
    {"GridForeColorEven", "8421504"},
    {"ImportSelectPath", ""},
    {"ExportPassword", "0"},
};

// The tables and fields the program reads.
const std::pair<const char*, QStringList> kTables[] = {
    {"tblMasterData", {"GroupName"}},
    {"tblChildData",
     {"ChildAutoID", "GroupName", "Website", "UserID", "Password", "Description", "DateChanged", "PriorUserID",
      "PriorPassword"}},
    {"tblOptions", {"OptionName", "OptionValue"}},
    {"tblPassword", {"Password", "Question", "Answer"}},
    {"tbladmin", {"pwdLength", "AlphaNumeric"}},
};

} // namespace

void checkDeliveredTables(const sql::Connection& connection) {
    for (const auto& [table, fields] : kTables) {
        sql::Statement info(connection, QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)));
        QStringList found;
        while (info.step())
            found.append(info.column(1).toString());
        for (const QString& field : fields)
            if (!found.contains(field, Qt::CaseInsensitive))
                throw Error(err::TableMissing,
                            QStringLiteral("The database engine cannot find the input table or query '%1'.  Make "
                                           "sure it exists and that its name is spelled correctly.")
                                .arg(QLatin1String(table)));
    }
}

void createDeliveredDatabase(const QString& path) {
    auto connection = sql::Connection::create(path, kDatabasePassword);
    sql::Transaction transaction(*connection);
    connection->executeScript(QString::fromUtf8(kSchema));
    for (const auto& [name, value] : kOptionRows)
        connection->execute(QStringLiteral("INSERT INTO tblOptions (OptionName, OptionValue) VALUES (?, ?)"),
                            {QString::fromLatin1(name), value ? QVariant(QString::fromLatin1(value)) : QVariant()});
    transaction.commit();
}

} // namespace kv
