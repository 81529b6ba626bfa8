#include "exchange/ImportRun.h"

#include "exchange/OldKeyvaleFile.h"
#include "store/Cipher.h"
#include "store/RecordCodec.h"
#include "store/RecordFields.h"
#include "store/Recordset.h"
#include "store/Sqlite.h"

#include <QStringList>

namespace kv {

namespace {

const QString kInsertChild = QStringLiteral(
    "INSERT INTO tblChildData (ChildAutoID, GroupName, Website, UserID, Password, Description, DateChanged, "
    "PriorUserID, PriorPassword) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");

// Runs `importRow` for rows 0 to count - 1. `importRow` answers false for a row it skipped.
ImportRun runImport(sql::Connection& db, int count, const ImportProgress& progress, const QStringList& groupsFirst,
                    const std::function<bool(int row, QVariantList& fields, GroupFiler& groups)>& importRow) {
    return runImportRows(db, progress, groupsFirst, [&](qint64 row, QVariantList& fields, GroupFiler& groups) {
        if (row >= count) return RowOutcome::End;
        return importRow(int(row), fields, groups) ? RowOutcome::Stored : RowOutcome::Skipped;
    });
}

QVariant textOrNull(const QVariant& value) {
    return value.isNull() ? QVariant() : QVariant(value.toString());
}

} // namespace

ImportRun runImportRows(sql::Connection& db, const ImportProgress& progress, const QStringList& groupsFirst,
                        const ImportRow& importRow, bool keepOnError) {
    ImportRun run;
    sql::Transaction transaction(db);
    GroupFiler groups(db);
    for (const QString& group : groupsFirst)
        groups.file(group);
    sql::Statement insert(db, kInsertChild);
    qint64 number = nextRecordNumber(db);
    QVariantList fields;
    for (qint64 row = 0;; ++row) {
        if (progress && !progress(row)) {
            run.cancelled = true;
            run.imported = 0;
            return run; // the transaction rolls back
        }
        try {
            insert.reset();
            fields.clear();
            const RowOutcome outcome = importRow(row, fields, groups);
            if (outcome == RowOutcome::End) break;
            if (outcome == RowOutcome::Stored) {
                insert.bind(1, number);
                for (int c = kGroupNameColumn; c <= kPriorPasswordColumn; ++c)
                    insert.bind(c + 1, gRecordCodec.fromPlainForm(number, c, fields.value(c - 1)));
                insert.step();
                ++number;
                ++run.imported;
            }
        } catch (const Error& e) {
            run.error = e;
            if (!keepOnError) {
                run.imported = 0;
                return run; // the transaction rolls back
            }
            break;
        }
    }
    insert.reset();
    try {
        transaction.commit();
    } catch (const Error&) {
        // An error that made the database give up the transaction took the earlier rows with it.
        if (!run.error) throw;
        run.imported = 0;
    }
    return run;
}

QString unstorableText(const QList<int>& skipped, const QString& unit) {
    // Numbers named in the message; more are counted, not listed.
    constexpr int kListed = 10;
    QStringList numbers;
    for (int i = 0; i < skipped.size() && i < kListed; ++i)
        numbers.append(QString::number(skipped[i]));
    if (skipped.size() > kListed) numbers.append(QStringLiteral("..."));
    return QString::number(skipped.size()) +
           (skipped.size() == 1 ? QStringLiteral(" record was") : QStringLiteral(" records were")) +
           QStringLiteral(" not imported, because Keyvale can not store their text unchanged (") + unit +
           QStringLiteral(" numbers ") + numbers.join(QStringLiteral(", ")) + QStringLiteral(").");
}

GroupFiler::GroupFiler(sql::Connection& db)
    : find_(std::make_unique<sql::Statement>(
          db, QStringLiteral("SELECT GroupName FROM tblMasterData WHERE GroupName = ?"))),
      add_(std::make_unique<sql::Statement>(db, QStringLiteral("INSERT INTO tblMasterData (GroupName) VALUES (?)"))) {}

GroupFiler::~GroupFiler() = default;

QString GroupFiler::file(const QString& group) {
    if (auto it = known_.constFind(group); it != known_.constEnd()) return *it;
    // The column compares A to Z without regard to case, as the grid's group names do.
    find_->reset();
    find_->bind(1, group);
    QString filed = group;
    if (find_->step()) {
        filed = find_->column(0).toString();
    } else {
        add_->reset();
        add_->bind(1, group);
        add_->step();
        add_->reset();
    }
    find_->reset();
    known_.insert(group, filed);
    return filed;
}

ImportRun importOldRecords(const OldKeyvaleFile& file, sql::Connection& db, const QString& dateChanged,
                           const ImportProgress& progress) {
    const int records = qMax(0, file.recordCount() - 1);
    QList<int> skipped;
    ImportRun run =
        runImport(db, records, progress, {kImportedGroup}, [&](int row, QVariantList& fields, GroupFiler& groups) {
            const int number = row + 2;
            const OldRecord r = file.record(number);
            const QString group = groups.file(kImportedGroup);
            // Text with a character the field cipher cannot give back (a NUL) is damaged, not a log-on: storing it
            // would alter it.
            if (!unstorableCharacters(r.website + r.userID + r.password).isEmpty()) {
                skipped.append(number);
                return false;
            }
            fields = {group, r.website, r.userID, encipherField(r.password),
                      r.deleted ? QVariant(QStringLiteral("***DELETED***")) : QVariant(), dateChanged, QVariant(),
                      QVariant()};
            return true;
        });
    if (!run.cancelled) run.skipped = skipped;
    return run;
}

ImportRun importSelectedRows(Recordset& source, const RecordCodec& sourceCodec, const QList<int>& bookmarks,
                             sql::Connection& db, const ImportProgress& progress) {
    QList<int> skipped;
    ImportRun run =
        runImport(db, int(bookmarks.size()), progress, {}, [&](int row, QVariantList& fields, GroupFiler& groups) {
            source.setBookmark(bookmarks[row]);
            const qint64 record = source.field(QStringLiteral("ChildAutoID")).toLongLong();
            auto value = [&](const char* name) {
                const QString field = QString::fromLatin1(name);
                return sourceCodec.toPlainForm(record, source.fieldIndex(field), source.field(field));
            };
            const QString password = decipherField(value("Password").toString());
            const QString prior = decipherField(value("PriorPassword").toString());
            // A password that deciphers to a character the cipher cannot give back (only a damaged or
            // altered file holds one) would be stored as another password.
            if (!unstorableCharacters(password + prior).isEmpty()) {
                skipped.append(bookmarks[row]);
                return false;
            }
            fields = {groups.file(value("GroupName").toString()), textOrNull(value("Website")),
                      textOrNull(value("UserID")), encipherField(password), textOrNull(value("Description")),
                      textOrNull(value("DateChanged")), textOrNull(value("PriorUserID")), encipherField(prior)};
            return true;
        });
    if (!run.cancelled) run.skipped = skipped;
    return run;
}

} // namespace kv
