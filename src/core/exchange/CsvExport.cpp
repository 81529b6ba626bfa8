#include "exchange/CsvExport.h"

#include "exchange/CsvImport.h"
#include "store/RecordCodec.h"
#include "store/RecordFields.h"
#include "store/Recordset.h"

#include <QSet>

namespace kv {

bool exportCsvRecords(Recordset& records, ExportRows which, const QList<int>& selected, bool withPasswords,
                      const QString& path, const std::function<bool(qint64)>& progress) {
    const int number = records.fieldIndex(QStringLiteral("ChildAutoID"));
    const int group = records.fieldIndex(QStringLiteral("GroupName"));
    const int website = records.fieldIndex(QStringLiteral("Website"));
    const int userId = records.fieldIndex(QStringLiteral("UserID"));
    const int password = records.fieldIndex(QStringLiteral("Password"));
    const int description = records.fieldIndex(QStringLiteral("Description"));
    const int dateChanged = records.fieldIndex(QStringLiteral("DateChanged"));
    const QSet<int> chosen(selected.begin(), selected.end());

    ExportFile file(ExportFormat::Csv, path, {}, kCsvExportHeader);
    constexpr qint64 kProgressEvery = 1024;
    qint64 done = 0;
    bool cancelled = false;
    // Bookmarks follow the recordset's order, so a record's bookmark gives its place in the file.
    records.scan([&](Recordset::Bookmark bookmark, const Recordset::ScanRow& row) {
        if (which != ExportRows::All && chosen.contains(bookmark) != (which == ExportRows::Selected)) return true;
        const qint64 record = row.field(number).toLongLong();
        const auto clear = [&](int field, RecordColumn column) {
            return gRecordCodec.clearText(record, column, row.field(field));
        };
        file.addRow(bookmark - 1, {row.field(group).toString(), row.field(website).toString(),
                                   clear(userId, kUserIdColumn),
                                   withPasswords ? clear(password, kPasswordColumn) : QString(),
                                   clear(description, kDescriptionColumn), row.field(dateChanged).toString()});
        if (progress && ++done % kProgressEvery == 0 && !progress(done)) cancelled = true;
        return !cancelled;
    });
    if (cancelled) return false;
    return file.finish(progress ? std::function<bool(qint64)>([&](qint64) { return progress(done); })
                                : std::function<bool(qint64)>());
}

} // namespace kv
