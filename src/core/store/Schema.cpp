#include "store/Schema.h"

#include "store/RecordFields.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
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

// What a column's declared type makes of the values stored in it.
enum class Affinity { Integer, Text, Other };

Affinity affinityOf(const QString& declaredType) {
    const QString t = declaredType.toUpper();
    if (t.contains(QLatin1String("INT"))) return Affinity::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    return Affinity::Other;
}

struct Field {
    QString name;
    Affinity affinity;
};

QList<Field> textFields(const QStringList& names) {
    QList<Field> fields;
    for (const QString& name : names)
        fields.append({name, Affinity::Text});
    return fields;
}

// The tables and fields the program reads and writes, with the kind of value each must keep.
QList<std::pair<QString, QList<Field>>> deliveredTables() {
    QList<Field> records = textFields(kRecordFieldList.split(QStringLiteral(", ")));
    records[kChildAutoIdColumn].affinity = Affinity::Integer;
    return {
        {QStringLiteral("tblMasterData"), textFields({QStringLiteral("GroupName")})},
        {QStringLiteral("tblChildData"), records},
        {QStringLiteral("tblOptions"), textFields({QStringLiteral("OptionName"), QStringLiteral("OptionValue")})},
        {QStringLiteral("tblPassword"),
         textFields({QStringLiteral("Password"), QStringLiteral("Question"), QStringLiteral("Answer")})},
        {QStringLiteral("tbladmin"), textFields({QStringLiteral("pwdLength"), QStringLiteral("AlphaNumeric")})},
    };
}

QString fileName(const sql::Connection& connection) {
    return QDir::toNativeSeparators(connection.path());
}

} // namespace

void checkDeliveredTables(const sql::Connection& connection) {
    for (const auto& [table, fields] : deliveredTables()) {
        sql::Statement info(connection, QStringLiteral("PRAGMA table_info(%1)").arg(table));
        QHash<QString, QString> found; // field name in lower case -> declared type
        while (info.step())
            found.insert(info.column(1).toString().toLower(), info.column(2).toString());
        if (found.isEmpty())
            throw Error(err::TableMissing,
                        QStringLiteral("The database engine cannot find the input table or query '%1'.  Make "
                                       "sure it exists and that its name is spelled correctly.")
                            .arg(table));
        for (const Field& field : fields) {
            const auto it = found.constFind(field.name.toLower());
            if (it == found.constEnd())
                throw Error(err::ItemNotFound, QStringLiteral("The table %1 of the database '%2' has no field %3")
                                                   .arg(table, fileName(connection), field.name));
            if (affinityOf(*it) != field.affinity)
                throw Error(err::ItemNotFound,
                            QStringLiteral("The field %1 of table %2 in the database '%3' holds %4, not %5")
                                .arg(field.name, table, fileName(connection),
                                     it->isEmpty() ? QStringLiteral("values of any type") : *it,
                                     field.affinity == Affinity::Integer ? QStringLiteral("whole numbers")
                                                                         : QStringLiteral("text")));
        }
    }
}

void checkDatabaseIntact(const sql::Connection& connection) {
    QString finding;
    try {
        sql::Statement check(connection, QStringLiteral("PRAGMA quick_check"));
        // The first line that is not a heading says where the damage is; "ok" alone means there is none.
        while (check.step() && finding.isEmpty()) {
            // A row may hold several lines.
            for (const QString& line : check.column(0).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (line.startsWith(QLatin1String("***"))) continue;
                finding = line.trimmed();
                break;
            }
        }
    } catch (const Error& e) {
        // Damage bad enough to stop the check itself.
        finding = e.description();
    }
    if (!finding.isEmpty() && finding != QLatin1String("ok"))
        throw Error(err::DatabaseDamaged,
                    QStringLiteral("The database '%1' is damaged: %2").arg(fileName(connection), finding));
}

void checkDatabaseWritable(const sql::Connection& connection) {
    const QFileInfo file(connection.path());
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    QString why;
    // SQLite opens a file it may not write for reading only; it also needs to create its journal beside it.
    if (connection.isReadOnly() || !file.isWritable())
        why = QStringLiteral("The file '%1' may not be written by this user.").arg(fileName(connection));
    else if (!QFileInfo(file.absolutePath()).isWritable())
        why = QStringLiteral("Files may not be created in its folder '%1'.").arg(folder);
    if (!why.isEmpty())
        throw Error(err::ReadOnlyDatabase, QStringLiteral("Cannot update.  Database or object is read-only.  ") + why);
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
