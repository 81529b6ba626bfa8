#pragma once

#include "exchange/ExportWriter.h"

#include <QList>
#include <QString>
#include <functional>

namespace kv {

class Recordset;

// Writes the records of `records` (tblChildData rows, in the recordset's order) to the CSV file at `path`
// under the header Group,Web Site,User ID,Password,Description,Date Changed: all of them, those whose
// bookmarks are in `selected`, or the others. Passwords are written deciphered when `withPasswords`, else
// left empty; dates as stored. The file is replaced whole, owner-only, or not at all. `progress(done)` is
// told how many records have been read and cancels by answering false. False when cancelled; throws
// kv::Error when the file cannot be written.
bool exportCsvRecords(Recordset& records, ExportRows which, const QList<int>& selected, bool withPasswords,
                      const QString& path, const std::function<bool(qint64)>& progress = {});

} // namespace kv
