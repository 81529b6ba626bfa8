#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kv::test {

// A temporary program folder with a fresh delivered database, the help pages and the export template.
// It points gAppPath, gIniFile and gDataFolder at itself and resets the shared state of the program
// (paths, flags, master password, options, connection and recordsets), so that no test sees another's.
class TempAppFolder {
public:
    // `open`: also open the database with gInitializeDB and load the options.
    explicit TempAppFolder(bool open = true);
    ~TempAppFolder();

    QString path() const;            // ends in "/"
    QString file(const QString& name) const { return path() + name; }
    QString database() const { return file(QStringLiteral("keyvale.mdb")); }

    // Runs SQL on the folder's database through a connection of its own (checks what a flow stored).
    QList<QVariantList> query(const QString& sql, const QVariantList& params = {}) const;
    QVariant scalar(const QString& sql, const QVariantList& params = {}) const;
    void execute(const QString& sql, const QVariantList& params = {}) const;
    QString option(const QString& name) const {
        return scalar(QStringLiteral("select OptionValue from tblOptions where OptionName = ?"), {name}).toString();
    }
    // The master password record as stored, deciphered: question, answer, password (empty when none).
    QStringList storedMasterRecord() const;
    // Makes tblChildData over with `columns` (column definitions in the order wanted), keeping its rows in
    // the fields the two have in common, and its index when both its fields are still there.
    void remakeRecordTable(const QString& columns) const;
    // Flips `bytes` bytes in the middle of the database page that holds the root of `object` (a table or
    // index), as a failing disk would.
    void damagePage(const QString& object, int bytes) const;

private:
    QTemporaryDir dir_;
};

// The same on any database file of the program.
void remakeRecordTable(const QString& database, const QString& columns);
void damagePage(const QString& database, const QString& object, int bytes);

// A file's whole content ("<missing>" when it cannot be read); a file written whole (false when it cannot be).
QByteArray fileBytes(const QString& path);
bool writeFile(const QString& path, const QByteArray& content);

// Resets every shared variable of the program to its starting value and closes the database.
void resetProgramState();

} // namespace kv::test
