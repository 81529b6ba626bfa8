#include "exchange/CsvImport.h"

#include "exchange/CsvReader.h"
#include "store/Cipher.h"
#include "store/RecordCodec.h"
#include "store/RecordFields.h"
#include "store/Sqlite.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <algorithm>
#include <array>

namespace kv {

namespace {

// A column name as compared: lower case, without blanks, underscores or hyphens.
QString folded(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (const QChar c : name)
        if (!c.isSpace() && c != QLatin1Char('_') && c != QLatin1Char('-')) out += c.toLower();
    return out;
}

struct Synonyms {
    int CsvColumns::*column;
    std::array<const char*, 6> names; // folded; unused places are null
};

// The names each field goes by in the usual exports; a column takes the first field whose names hold its own.
const std::array kSynonyms{
    Synonyms{&CsvColumns::group, {"group", "folder", "grouping", "category"}},
    Synonyms{&CsvColumns::url, {"url", "website", "loginuri", "uri", "webaddress"}},
    Synonyms{&CsvColumns::title, {"title", "name", "account"}},
    Synonyms{&CsvColumns::userId, {"username", "userid", "loginusername", "loginname", "login", "user"}},
    Synonyms{&CsvColumns::password, {"password", "loginpassword"}},
    Synonyms{&CsvColumns::description, {"notes", "note", "comments", "comment", "description", "extra"}},
    Synonyms{&CsvColumns::dateChanged, {"datechanged"}},
};

struct Layout {
    const char* name;
    std::array<const char*, 6> names; // folded names the header must hold; unused places are null
};

// The well-known layouts, most particular first: each is recognised by the names it must hold.
const std::array kLayouts{
    Layout{"Keyvale", {"group", "website", "userid", "password", "description", "datechanged"}},
    Layout{"Cloud password manager", {"folder", "loginuri", "loginusername", "loginpassword"}},
    Layout{"Cloud password manager (grouping)", {"url", "username", "password", "extra", "name", "grouping"}},
    Layout{"Desktop password manager", {"group", "title", "username", "password", "url", "notes"}},
    Layout{"Desktop password manager (older)", {"account", "loginname", "password", "website", "comments"}},
    Layout{"Browser with HTTP realm", {"url", "username", "password", "httprealm"}},
    Layout{"Browser", {"name", "url", "username", "password"}},
};

template <std::size_t N> bool holdsAll(const QStringList& names, const std::array<const char*, N>& wanted) {
    for (const char* w : wanted)
        if (w && !names.contains(QLatin1String(w))) return false;
    return true;
}

QString cell(const QStringList& fields, int column) {
    return column >= 0 && column < fields.size() ? fields[column] : QString();
}

// Text in the form DateChanged is stored in, naming a real day and time. Read without the time zone, which
// costs a look at the zone file for every record.
bool isStoredDate(const QString& text) {
    return text.size() == 19 && text[10] == QLatin1Char(' ') &&
           QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd")).isValid() &&
           QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss")).isValid();
}

bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

} // namespace

CsvHeader recogniseHeader(const QStringList& header) {
    CsvHeader out;
    QStringList names;
    for (const QString& h : header)
        names.append(folded(h));
    for (int c = 0; c < names.size(); ++c) {
        for (const Synonyms& s : kSynonyms) {
            if (std::none_of(s.names.begin(), s.names.end(),
                             [&](const char* n) { return n && names[c] == QLatin1String(n); }))
                continue;
            if (out.columns.*s.column < 0) out.columns.*s.column = c;
            break;
        }
    }
    for (const Layout& l : kLayouts)
        if (holdsAll(names, l.names)) {
            out.layout = QString::fromLatin1(l.name);
            break;
        }
    return out;
}

CsvMappedRecord mapCsvRecord(const QStringList& fields, const CsvColumns& columns, const CsvImportOptions& options,
                             const QString& now) {
    CsvMappedRecord r;
    r.group = cell(fields, columns.group);
    if (isBlank(r.group)) r.group = options.group;
    const bool byTitle = options.siteFrom == SiteFrom::Title;
    r.website = cell(fields, byTitle ? columns.title : columns.url);
    if (isBlank(r.website)) r.website = cell(fields, byTitle ? columns.url : columns.title);
    r.userId = cell(fields, columns.userId);
    r.password = cell(fields, columns.password);
    r.description = cell(fields, columns.description);
    // A date Keyvale wrote itself is kept, so that a record moved through a file keeps its history.
    const QString date = cell(fields, columns.dateChanged);
    r.dateChanged = isStoredDate(date) ? date : now;
    return r;
}

CsvPreview previewCsv(const QString& path, int rows) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CsvError(QStringLiteral("Keyvale can not read the file %1.").arg(QFileInfo(path).fileName()));
    CsvReader reader(file);
    CsvPreview preview;
    CsvRecord record;
    if (!reader.next(record)) throw CsvError(QStringLiteral("The file is empty."));
    preview.header = record.fields;
    preview.recognised = recogniseHeader(record.fields);
    while (preview.rows.size() < rows && reader.next(record))
        preview.rows.append(record.fields);
    return preview;
}

CsvImport importCsvFile(const QString& path, sql::Connection& db, const CsvImportOptions& options,
                        const QString& dateChanged, const ImportProgress& progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CsvError(QStringLiteral("Keyvale can not read the file %1.").arg(QFileInfo(path).fileName()));
    CsvReader reader(file);
    CsvRecord record;
    if (!reader.next(record)) throw CsvError(QStringLiteral("The file is empty."));
    const CsvColumns columns = options.columns.value_or(recogniseHeader(record.fields).columns);
    if (columns.password < 0) throw CsvError(QStringLiteral("The file has no column of passwords."));

    // Only records that were there before the import count as duplicates: two records of the file that
    // look alike are both the user's.
    sql::Statement last(db, QStringLiteral("SELECT IFNULL(MAX(ChildAutoID), 0) FROM tblChildData"));
    last.step();
    const qint64 lastBefore = last.column(0).toLongLong();
    last.reset();
    // Written so that the group and web site index finds the candidates: an empty web site may be stored
    // as Null. Their user IDs are compared once opened, as a protected database seals them.
    sql::Statement existing(
        db, QStringLiteral("SELECT ChildAutoID, UserID FROM tblChildData WHERE GroupName = ?1 AND Website = ?2 AND "
                           "ChildAutoID <= ?3 UNION ALL "
                           "SELECT ChildAutoID, UserID FROM tblChildData WHERE ?2 = '' AND GroupName = ?1 AND "
                           "Website IS NULL AND ChildAutoID <= ?3"));
    const auto alreadyStored = [&](const CsvMappedRecord& r) {
        existing.reset();
        existing.bindAll({r.group, r.website, lastBefore});
        bool found = false;
        while (!found && existing.step())
            found = gRecordCodec.clearText(existing.column(0).toLongLong(), kUserIdColumn, existing.column(1)) ==
                    r.userId;
        existing.reset();
        return found;
    };
    CsvImport out;
    QList<int> skipped;
    const ImportRun run = runImportRows(
        db, [&](qint64) { return !progress || progress(reader.bytesRead()); }, {},
        [&](qint64, QVariantList& fields, GroupFiler& groups) {
            if (!reader.next(record)) return RowOutcome::End;
            CsvMappedRecord r = mapCsvRecord(record.fields, columns, options, dateChanged);
            if (isBlank(r.website) && isBlank(r.userId) && r.password.isEmpty() && isBlank(r.description)) {
                ++out.empty;
                return RowOutcome::Skipped;
            }
            if (record.badText || !unstorableCharacters(r.password).isEmpty()) {
                skipped.append(int(record.line));
                return RowOutcome::Skipped;
            }
            r.group = groups.file(r.group);
            if (alreadyStored(r)) {
                ++out.duplicates;
                if (!options.addDuplicates) return RowOutcome::Skipped;
            }
            fields = {r.group, r.website, r.userId, encipherField(r.password), r.description, r.dateChanged,
                      QVariant(), QVariant()};
            return RowOutcome::Stored;
        },
        false);
    static_cast<ImportRun&>(out) = run;
    if (run.cancelled || run.error) {
        out.duplicates = out.empty = 0;
    } else {
        out.skipped = skipped;
    }
    return out;
}

QString csvImportSummary(const CsvImport& run, bool addDuplicates) {
    const auto records = [](int n) {
        return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
    };
    QString text = QStringLiteral("Keyvale successfully imported %1.").arg(records(run.imported));
    if (run.duplicates > 0)
        text += QStringLiteral("\n%1 already in Keyvale (same group, web site and user ID) %2.")
                    .arg(run.duplicates == 1 ? QStringLiteral("1 record was")
                                             : records(run.duplicates) + QStringLiteral(" were"))
                    .arg(addDuplicates ? QStringLiteral("and added again") : QStringLiteral("and skipped"));
    if (run.empty > 0)
        text +=
            QStringLiteral("\n%1 with nothing to import passed over.")
                .arg(run.empty == 1 ? QStringLiteral("1 line was") : QStringLiteral("%1 lines were").arg(run.empty));
    if (!run.skipped.isEmpty()) text += QStringLiteral("\n") + unstorableText(run.skipped, QStringLiteral("line"));
    return text;
}

} // namespace kv
