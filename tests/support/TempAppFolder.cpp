#include "support/TempAppFolder.h"

#include "platform/InstanceLock.h"
#include "access/modKeyvale.h"
#include "store/Cipher.h"
#include "store/Options.h"
#include "store/RecordCodec.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace kv::test {

namespace {

void copyTree(const QString& from, const QString& to) {
    QDir source(from);
    if (!source.exists()) return;
    QDir().mkpath(to);
    for (const QFileInfo& info : source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (info.isDir())
            copyTree(info.absoluteFilePath(), to + QLatin1Char('/') + info.fileName());
        else
            QFile::copy(info.absoluteFilePath(), to + QLatin1Char('/') + info.fileName());
    }
}

} // namespace

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
bool writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

void resetProgramState() {
    gRsMasterData.reset();
    gRsChildData.reset();
    gRsOptions.reset();
    gDBConnection.reset();
    gRecordCodec = RecordCodec();
    gMasterFieldCount = 0;
    gAppPath.clear();
    gIniFile.clear();
    gSettingsFolder.clear();
    gPerUserFolders = false;
    InstanceLock::process().release();
    gDataFolder.clear();
    gWinDir.clear();
    gHelpFile.clear();
    gMasterPassword.clear();
    gRecoveryQuestion.clear();
    gRecoveryAnswer.clear();
    gFirstRun = gLoggedOn = gSetupDone = gFormOpen = gMainInitialised = false;
    gShutDownTime = 0;
    gShutDownTimeByte = 0;
    gShowPasswordText = gShowPasswordColumn = gShowPriorUserIDPassword = gShowDeletedRecord = false;
    gShutDownKeyvale = gConfirmUpdate = gExportPassword = false;
    gBackupLocation.clear();
    gImportSelectPath.clear();
    gGridBackColorOdd = gGridForeColorOdd = gGridBackColorEven = gGridForeColorEven = 0;
}

TempAppFolder::TempAppFolder(bool open) {
    resetProgramState();
    QVERIFY(dir_.isValid());
    createDeliveredDatabase(database());
    copyTree(QStringLiteral(KEYVALE_RESOURCES_DIR), dir_.path());
    gAppPath = path();
    gIniFile = gAppPath + QStringLiteral("keyvale.ini");
    gDataFolder = gAppPath;
    gWinDir = gAppPath;
    gHelpFile = gAppPath + QStringLiteral("help/keyvale-help.html");
    if (open) {
        gInitializeDB();
        GetOptions();
    }
}

TempAppFolder::~TempAppFolder() { resetProgramState(); }

QString TempAppFolder::path() const { return dir_.path() + QLatin1Char('/'); }

QList<QVariantList> TempAppFolder::query(const QString& sql, const QVariantList& params) const {
    auto connection = sql::Connection::open(database(), kDatabasePassword);
    sql::Statement st(*connection, sql);
    st.bindAll(params);
    QList<QVariantList> rows;
    while (st.step()) {
        QVariantList row;
        for (int i = 0; i < st.columnCount(); ++i) row.append(st.column(i));
        rows.append(row);
    }
    return rows;
}

QVariant TempAppFolder::scalar(const QString& sql, const QVariantList& params) const {
    const auto rows = query(sql, params);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

void TempAppFolder::execute(const QString& sql, const QVariantList& params) const {
    auto connection = sql::Connection::open(database(), kDatabasePassword);
    connection->execute(sql, params);
}

QStringList TempAppFolder::storedMasterRecord() const {
    QStringList out;
    for (const auto& row : query(QStringLiteral("select Question, Answer, Password from tblPassword")))
        for (const QVariant& v : row) out.append(decipherField(v.toString()));
    return out;
}

} // namespace kv::test

namespace kv::test {

void remakeRecordTable(const QString& database, const QString& columns) {
    auto db = sql::Connection::open(database, kDatabasePassword);
    const auto fieldsOf = [&db](const QString& table) {
        QStringList names;
        sql::Statement info(*db, QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (info.step())
            names.append(info.column(1).toString());
        return names;
    };
    db->executeScript(QStringLiteral("PRAGMA foreign_keys = OFF; CREATE TABLE tblRemade (%1);").arg(columns));
    QStringList common;
    const QStringList remade = fieldsOf(QStringLiteral("tblRemade"));
    for (const QString& name : fieldsOf(QStringLiteral("tblChildData")))
        if (remade.contains(name)) common.append(name);
    db->executeScript(QStringLiteral("INSERT INTO tblRemade (%1) SELECT %1 FROM tblChildData; DROP TABLE tblChildData; "
                                     "ALTER TABLE tblRemade RENAME TO tblChildData;")
                          .arg(common.join(QLatin1Char(','))));
    if (remade.contains(QStringLiteral("GroupName")) && remade.contains(QStringLiteral("Website")))
        db->executeScript(
            QStringLiteral("CREATE INDEX idxChildDataGroupWebsite ON tblChildData (GroupName, Website);"));
}

void damagePage(const QString& database, const QString& object, int bytes) {
    qint64 page = 0;
    {
        auto db = sql::Connection::open(database, kDatabasePassword);
        sql::Statement root(*db, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = ?"));
        root.bind(1, object);
        QVERIFY(root.step());
        page = root.column(0).toLongLong();
    }
    // The file's pages are 1024 bytes; flip the bytes in the middle of the page, past its header.
    QFile f(database);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const qint64 at = (page - 1) * 1024 + 512 - bytes / 2;
    QVERIFY(f.seek(at));
    QByteArray flipped = f.read(bytes);
    for (char& c : flipped)
        c = char(~c);
    QVERIFY(f.seek(at));
    QCOMPARE(f.write(flipped), qint64(bytes));
}

void TempAppFolder::remakeRecordTable(const QString& columns) const {
    test::remakeRecordTable(database(), columns);
}

void TempAppFolder::damagePage(const QString& object, int bytes) const {
    test::damagePage(database(), object, bytes);
}

} // namespace kv::test
