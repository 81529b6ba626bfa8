#pragma once

#include "exchange/ImportRun.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kv {

namespace sql {
class Connection;
}

// Which column of a CSV file fills which field of a record; -1 for none.
struct CsvColumns {
    int group = -1;
    int url = -1;
    int title = -1;
    int userId = -1;
    int password = -1;
    int description = -1;
    int dateChanged = -1; // only in the files Keyvale writes itself
};

// The columns of a header row, by the names the usual exports give them (letter case and blanks around the
// name do not matter), and the name of the layout when the header is one of the well-known ones.
struct CsvHeader {
    CsvColumns columns;
    QString layout; // empty for a header of any other kind
};
CsvHeader recogniseHeader(const QStringList& header);

// The header Keyvale writes, and recognises as its own.
inline const QStringList kCsvExportHeader = {QStringLiteral("Group"),       QStringLiteral("Web Site"),
                                             QStringLiteral("User ID"),     QStringLiteral("Password"),
                                             QStringLiteral("Description"), QStringLiteral("Date Changed")};

// The group for records whose file gives them none, unless the user names another.
inline const QString kCsvDefaultGroup = QStringLiteral("Imported");

enum class SiteFrom { Url, Title };

struct CsvImportOptions {
    std::optional<CsvColumns> columns; // as recognised from the header when not given
    SiteFrom siteFrom = SiteFrom::Url; // the other one fills Web Site when the chosen one is empty
    QString group = kCsvDefaultGroup;  // for records with no group column or an empty group cell
    bool addDuplicates = false;        // false: a record already in the database is skipped
};

// One record as it would be stored.
struct CsvMappedRecord {
    QString group, website, userId, password, description, dateChanged;
};

// The first lines of a file, for the window to show before anything is stored.
struct CsvPreview {
    QStringList header;
    CsvHeader recognised;
    QList<QStringList> rows;
};

struct CsvImport : ImportRun {
    int duplicates = 0; // records already in the database: skipped, or added when the options say so
    int empty = 0;      // lines with nothing in any imported column, passed over
};

// Reads the header and up to `rows` records of the CSV file at `path`. Throws CsvError when the file cannot
// be read, is empty, or is not CSV.
CsvPreview previewCsv(const QString& path, int rows = 10);

// The record `fields` (a line of a file) makes under `columns` and `options`, dated `now` unless the file
// gives a date of its own.
CsvMappedRecord mapCsvRecord(const QStringList& fields, const CsvColumns& columns, const CsvImportOptions& options,
                             const QString& now);

// Appends every record of the CSV file at `path` to tblChildData in one transaction, dated `dateChanged`
// (the date of a file Keyvale wrote is kept). Groups that differ only in letter case go under the existing
// one. A record whose text the database cannot give back unchanged is skipped and its line listed.
// `progress` is told the bytes read so far. Throws CsvError, with nothing stored, when the file cannot be
// read, is not CSV, is empty or has no password column; an error while storing also stores nothing.
CsvImport importCsvFile(const QString& path, sql::Connection& db, const CsvImportOptions& options,
                        const QString& dateChanged, const ImportProgress& progress = {});

// What the user is told when the import is over.
QString csvImportSummary(const CsvImport& run, bool addDuplicates);

} // namespace kv
