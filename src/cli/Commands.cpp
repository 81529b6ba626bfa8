#include "cli/Commands.h"

#include "access/PasswordGenerator.h"
#include "access/Protection.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Secrets.h"
#include "cli/Session.h"
#include "exchange/CsvExport.h"
#include "exchange/CsvImport.h"
#include "exchange/CsvReader.h"
#include "exchange/DataFileCopy.h"
#include "exchange/DataFolderMove.h"
#include "exchange/ExportWriter.h"
#include "exchange/ImportRun.h"
#include "exchange/OldKeyvaleFile.h"
#include "exchange/OtherDatabase.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/DateText.h"
#include "store/FindMatch.h"
#include "store/RecordStore.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <map>

namespace kv::cli {

namespace {

using Option = QCommandLineOption;

const QString kClipboardSeconds = QStringLiteral("30");

// The fields a command names, by RecordColumn, with the JSON keys and the field names of --field.
struct FieldName {
    int column;
    const char* key;
};
constexpr FieldName kFieldNames[] = {
    {kGroupNameColumn, "group"},         {kWebsiteColumn, "site"},
    {kUserIdColumn, "user-id"},          {kPasswordColumn, "password"},
    {kDescriptionColumn, "description"}, {kDateChangedColumn, "date"},
    {kPriorUserIdColumn, "prior-user-id"}, {kPriorPasswordColumn, "prior-password"},
};

QString keyOf(int column) {
    for (const FieldName& f : kFieldNames)
        if (f.column == column) return QString::fromLatin1(f.key);
    return {};
}

// What a listing shows of a record: never a password.
const int kListed[] = {kGroupNameColumn, kWebsiteColumn, kUserIdColumn, kDescriptionColumn, kDateChangedColumn};

QStringList listedFields(const RecordCells& r) {
    QStringList fields;
    for (const int c : kListed)
        fields << r[c];
    return fields;
}

QJsonObject recordJson(const RecordCells& r, bool withPassword) {
    QJsonObject o;
    o.insert(QStringLiteral("id"), r[kChildAutoIdColumn].toLongLong());
    for (const FieldName& f : kFieldNames) {
        if ((f.column == kPasswordColumn || f.column == kPriorPasswordColumn) && !withPassword) continue;
        o.insert(QString::fromLatin1(f.key), r[f.column]);
    }
    return o;
}

sql::Connection& connection() {
    if (!gDBConnection) throw noObject();
    return *gDBConnection;
}

std::optional<QString> groupOption(const QCommandLineParser& p) {
    return p.isSet(QStringLiteral("group")) ? std::optional<QString>(p.value(QStringLiteral("group"))) : std::nullopt;
}

QString oneArgument(const QCommandLineParser& p, const char* what) {
    const QStringList args = p.positionalArguments();
    if (args.size() != 1)
        throw CommandFailure{kExitUsage, QStringLiteral("Give one %1 (see --help)").arg(QLatin1String(what))};
    return args.front();
}

// The one record stored for a web site (in a group when one is named). A site that is not unique is
// refused with its candidates rather than guessed.
RecordCells namedRecord(const QString& site, const std::optional<QString>& group) {
    std::vector<RecordCells> matches;
    forEachRecord(connection(), {group, site}, [&](const RecordCells& r) {
        matches.push_back(r);
        return true;
    });
    if (matches.empty())
        throw CommandFailure{kExitNotFound, group ? QStringLiteral("No record for web site '%1' in group '%2'").arg(site, *group)
                                                  : QStringLiteral("No record for web site '%1'").arg(site)};
    if (matches.size() > 1) {
        QStringList candidates;
        for (const RecordCells& r : matches)
            candidates << QStringLiteral("'%1' (user ID '%2')").arg(r[kGroupNameColumn], r[kUserIdColumn]);
        throw CommandFailure{kExitRefused, QStringLiteral("Web site '%1' is in %2 records: %3; name the group with "
                                                          "--group")
                                               .arg(site)
                                               .arg(matches.size())
                                               .arg(candidates.join(QStringLiteral(", ")))};
    }
    return matches.front();
}

std::unique_ptr<Recordset> recordById(const QString& id) {
    auto rs = openRecordset(QStringLiteral("Select %1 from tblChildData Where ChildAutoID = ?").arg(kRecordFieldList), {id.toLongLong()});
    rs->moveFirst();
    return rs;
}

// Every record once, as the window's find and export read them: in the order the file gives them fastest,
// each with its place in the grid's order (from 0). Fields are read only when the visitor asks for them.
// With a label, a terminal is shown how far the scan has got.
void scanAllRecords(const std::function<bool(qint64 place, const Recordset::ScanRow& row)>& visit,
                    const QString& progressLabel = {}) {
    if (!gDBConnection) throw noObject();
    Recordset records(gDBConnection, kSelectChildData);
    Progress progress(progressLabel, progressLabel.isEmpty() ? 0 : records.recordCount());
    qint64 done = 0;
    records.scan([&](Recordset::Bookmark bookmark, const Recordset::ScanRow& row) {
        progress.step(++done);
        return visit(bookmark - 1, row);
    });
}

// A record's field as the grid shows it: passwords deciphered, the date in the user's form.
QString shownField(const Recordset::ScanRow& row, int column) {
    const QVariant stored = row.field(column);
    if (column == kDateChangedColumn) return displayedDate(stored);
    return gRecordCodec.clearText(row.field(kChildAutoIdColumn).toLongLong(), column, stored);
}

RecordCells recordCells(const Recordset::ScanRow& row) {
    RecordCells cells;
    const qint64 record = row.field(kChildAutoIdColumn).toLongLong();
    for (int c = 0; c < int(cells.size()); ++c)
        cells[c] = gRecordCodec.clearText(record, c, row.field(c));
    return cells;
}

// What SQLite's own check of every page says: "ok" when the file is sound.
QStringList integrityCheck(sql::Connection& db) {
    QStringList lines;
    sql::Statement s(db, QStringLiteral("PRAGMA integrity_check"));
    while (s.step())
        lines << s.column(0).toString();
    return lines;
}

// ---- generator

void defineGenerator(QCommandLineParser& p) {
    p.addOption(Option(QStringLiteral("length"), QStringLiteral("Characters, 6 to 15 (default 6)."), QStringLiteral("N"),
                       QString::number(kShortestGenerated)));
    p.addOption(Option(QStringLiteral("letters"), QStringLiteral("Letters only.")));
    p.addOption(Option(QStringLiteral("digits"), QStringLiteral("Digits only.")));
    p.addOption(Option(QStringLiteral("mixed"), QStringLiteral("Digits and letters (the default).")));
}

QString generated(const QCommandLineParser& p) {
    const double length = generatorLengthValue(p.value(QStringLiteral("length")));
    if (!generatorLengthAccepted(length))
        throw CommandFailure{kExitUsage, QStringLiteral("Please select 6 to 15 characters!")};
    const int kinds = int(p.isSet(QStringLiteral("letters"))) + int(p.isSet(QStringLiteral("digits"))) +
                      int(p.isSet(QStringLiteral("mixed")));
    if (kinds > 1) throw CommandFailure{kExitUsage, QStringLiteral("Choose one of --letters, --digits and --mixed")};
    const GeneratorSet set = p.isSet(QStringLiteral("letters"))  ? GeneratorSet::Letters
                             : p.isSet(QStringLiteral("digits")) ? GeneratorSet::Digits
                                                                 : GeneratorSet::Mixed;
    return generatePassword(set, length, *QRandomGenerator::system());
}

// ---- add and edit

void defineRecordFields(QCommandLineParser& p, bool forAdd) {
    p.addOption(Option(QStringLiteral("group"), forAdd ? QStringLiteral("The record's group name (required).")
                                                       : QStringLiteral("The group of the record to change."),
                       QStringLiteral("G")));
    if (!forAdd)
        p.addOption(Option(QStringLiteral("new-group"), QStringLiteral("Move the record to this group."),
                           QStringLiteral("G")));
    p.addOption(Option(QStringLiteral("site"), forAdd ? QStringLiteral("The web site.") : QStringLiteral("A new web site."),
                       QStringLiteral("SITE")));
    p.addOption(Option(QStringLiteral("user-id"), QStringLiteral("The user ID."), QStringLiteral("ID")));
    p.addOption(Option(QStringLiteral("description"), QStringLiteral("The description."), QStringLiteral("TEXT")));
    p.addOption(Option(QStringLiteral("create-group"), QStringLiteral("Create the group when it does not exist.")));
    p.addOption(Option(QStringLiteral("password-prompt"),
                       QStringLiteral("Ask for the record's password (or read it from the second line of standard "
                                      "input with --password-stdin).")));
    p.addOption(Option(QStringLiteral("generate"), QStringLiteral("Give the record a generated password.")));
    defineGenerator(p);
}

// The record's new password, when the command line asks for one.
std::optional<QString> recordPassword(const QCommandLineParser& p, Secrets& secrets) {
    const bool typed = p.isSet(QStringLiteral("password-prompt"));
    if (typed && p.isSet(QStringLiteral("generate")))
        throw CommandFailure{kExitUsage, QStringLiteral("Give the password or --generate, not both")};
    if (p.isSet(QStringLiteral("generate"))) return generated(p);
    if (!typed) return std::nullopt;
    const std::optional<QString> password = secrets.next(QStringLiteral("Record password: "));
    if (!password)
        throw CommandFailure{kExitUsage, secrets.fromStdin() ? QStringLiteral("No record password on standard input")
                                                             : QStringLiteral("No terminal to ask for the password")};
    return password;
}

// Standard error may end up in a log or a mail, so the characters of a password are not quoted there.
void refuseUnstorable(const QString& value, const QString& what) {
    if (unstorableRefusal(value, what).isEmpty()) return;
    throw CommandFailure{kExitRefused, QStringLiteral("The ") + what +
                                           QStringLiteral(" contains characters that Keyvale can not store (only "
                                                          "Western European text can be stored)")};
}

// Makes sure the group exists, creating it only when asked to.
void requireGroup(const QString& group, bool create) {
    if (group.trimmed().isEmpty()) throw CommandFailure{kExitRefused, QStringLiteral("Please enter a Group Name!")};
    Recordset& masterData = opened(gRsMasterData);
    if (groupNameFound(masterData, group)) return;
    if (!create)
        throw CommandFailure{kExitNotFound, QStringLiteral("The Master Group Name does not exists. Give --create-group "
                                                           "to create '%1'")
                                                .arg(group)};
    addGroupName(masterData, group);
}

int runAdd(CommandContext& c) {
    const QCommandLineParser& p = c.parser;
    if (!p.positionalArguments().isEmpty()) throw CommandFailure{kExitUsage, QStringLiteral("add takes options only")};
    RecordCells cells;
    cells[kGroupNameColumn] = p.value(QStringLiteral("group"));
    cells[kWebsiteColumn] = p.value(QStringLiteral("site"));
    cells[kUserIdColumn] = p.value(QStringLiteral("user-id"));
    cells[kDescriptionColumn] = p.value(QStringLiteral("description"));
    cells[kPasswordColumn] = recordPassword(p, c.secrets).value_or(QString());
    refuseUnstorable(cells[kPasswordColumn], QStringLiteral("password"));
    sql::Transaction transaction(connection());
    requireGroup(cells[kGroupNameColumn], p.isSet(QStringLiteral("create-group")));
    auto rs = openRecordset(QStringLiteral("Select %1 from tblChildData Where ChildAutoID = ?").arg(kRecordFieldList), {-1});
    storeNewRecord(*rs, cells);
    transaction.commit();
    if (p.isSet(QStringLiteral("generate"))) printText(cells[kPasswordColumn] + QLatin1Char('\n'));
    return kExitOk;
}

int runEdit(CommandContext& c) {
    const QCommandLineParser& p = c.parser;
    const RecordCells before = namedRecord(oneArgument(p, "web site"), groupOption(p));
    RecordChange change{{}, before[kUserIdColumn], before[kPasswordColumn]};
    const auto take = [&](const char* option, int column) {
        if (p.isSet(QLatin1String(option))) change.fields[column] = p.value(QLatin1String(option));
    };
    take("new-group", kGroupNameColumn);
    take("site", kWebsiteColumn);
    take("user-id", kUserIdColumn);
    take("description", kDescriptionColumn);
    const std::optional<QString> password = recordPassword(p, c.secrets);
    if (password) {
        refuseUnstorable(*password, QStringLiteral("password"));
        if (*password != before[kPasswordColumn]) refuseUnstorable(before[kPasswordColumn], QStringLiteral("prior password"));
        change.fields[kPasswordColumn] = password;
    }
    if (std::none_of(change.fields.begin(), change.fields.end(), [](const auto& f) { return f.has_value(); }))
        throw CommandFailure{kExitUsage, QStringLiteral("Nothing to change (see --help)")};
    sql::Transaction transaction(connection());
    if (change.fields[kGroupNameColumn]) requireGroup(*change.fields[kGroupNameColumn], p.isSet(QStringLiteral("create-group")));
    auto rs = recordById(before[kChildAutoIdColumn]);
    storeRecordChange(*rs, change);
    transaction.commit();
    if (p.isSet(QStringLiteral("generate"))) printText(*password + QLatin1Char('\n'));
    return kExitOk;
}

int runRm(CommandContext& c) {
    const RecordCells record = namedRecord(oneArgument(c.parser, "web site"), groupOption(c.parser));
    auto rs = recordById(record[kChildAutoIdColumn]);
    rs->deleteCurrent();
    return kExitOk;
}

// ---- reading

int runLs(CommandContext& c) {
    const QStringList args = c.parser.positionalArguments();
    if (args.size() > 1) throw CommandFailure{kExitUsage, QStringLiteral("Give at most one group")};
    const std::optional<QString> group = args.isEmpty() ? std::nullopt : std::optional<QString>(args.front());
    if (group && !groupNames(connection()).contains(*group, Qt::CaseInsensitive))
        throw CommandFailure{kExitNotFound, QStringLiteral("No group '%1'").arg(*group)};
    const bool json = c.parser.isSet(QStringLiteral("json"));
    QJsonArray list;
    forEachRecord(connection(), {group, std::nullopt}, [&](const RecordCells& r) {
        if (json)
            list.append(recordJson(r, false));
        else
            printLine(listedFields(r));
        return true;
    });
    if (json) printJson(QJsonDocument(list));
    return kExitOk;
}

int runGroups(CommandContext& c) {
    QHash<QString, qint64> counts;
    sql::Statement s(connection(), QStringLiteral("SELECT GroupName, count(*) FROM tblChildData GROUP BY GroupName"));
    while (s.step())
        counts.insert(s.column(0).toString().toCaseFolded(), s.column(1).toLongLong());
    QJsonArray list;
    for (const QString& name : groupNames(connection())) {
        const qint64 n = counts.value(name.toCaseFolded());
        if (c.parser.isSet(QStringLiteral("json")))
            list.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("records"), n}});
        else
            printLine({name, QString::number(n)});
    }
    if (c.parser.isSet(QStringLiteral("json"))) printJson(QJsonDocument(list));
    return kExitOk;
}

int runShow(CommandContext& c) {
    const QCommandLineParser& p = c.parser;
    const RecordCells r = namedRecord(oneArgument(p, "web site"), groupOption(p));
    const bool withPassword = p.isSet(QStringLiteral("show-password"));
    if (p.isSet(QStringLiteral("json"))) {
        QJsonObject o = recordJson(r, false);
        if (withPassword) o.insert(QStringLiteral("password"), r[kPasswordColumn]);
        printJson(QJsonDocument(o));
    } else {
        const int shown[] = {kGroupNameColumn, kWebsiteColumn, kUserIdColumn, kDescriptionColumn, kDateChangedColumn,
                             kPriorUserIdColumn};
        for (const int column : shown)
            printLine({keyOf(column), r[column]});
        if (withPassword) printLine({keyOf(kPasswordColumn), r[kPasswordColumn]});
    }
    if (!p.isSet(QStringLiteral("copy"))) return kExitOk;
    bool ok = false;
    const int seconds = p.value(QStringLiteral("clear-after")).toInt(&ok);
    if (!ok || seconds < 1) throw CommandFailure{kExitUsage, QStringLiteral("--clear-after takes a number of seconds")};
    // The clipboard is served by this process: it stays until the password is cleared again.
    desktop().setClipboardText(r[kPasswordColumn]);
    std::fprintf(stderr, "keyvale-cli: the password is on the clipboard for %d seconds\n", seconds);
    QTimer::singleShot(seconds * 1000, [] {
        desktop().clearClipboardText();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    return kExitOk;
}

int runSearch(CommandContext& c) {
    const QCommandLineParser& p = c.parser;
    const QString text = oneArgument(p, "search text");
    if (trimBlanks(text).isEmpty()) throw CommandFailure{kExitUsage, QStringLiteral("Give a text to search for")};
    const QString match = p.value(QStringLiteral("match"));
    if (match != QLatin1String("begin") && match != QLatin1String("any") && match != QLatin1String("whole"))
        throw CommandFailure{kExitUsage, QStringLiteral("--match is begin, any or whole")};
    const FindOptions options(text, match == QLatin1String("any"), match == QLatin1String("whole"));
    // Every field but the passwords, unless one field is named.
    std::vector<int> columns;
    const QString field = p.value(QStringLiteral("field"));
    if (field == QLatin1String("all")) {
        columns = {kGroupNameColumn, kWebsiteColumn, kUserIdColumn, kDescriptionColumn, kDateChangedColumn,
                   kPriorUserIdColumn};
    } else {
        for (const FieldName& f : kFieldNames)
            if (field == QLatin1String(f.key)) columns = {f.column};
        if (columns.empty())
            throw CommandFailure{kExitUsage, QStringLiteral("Unknown field '%1' (see --help)").arg(field)};
    }
    // The records are read in the file's order; only when some match is the grid's order read, to put
    // them in it, so that a search that finds nothing reads each record once and nothing more.
    std::vector<RecordCells> matches;
    {
        sql::Statement all(connection(), QStringLiteral("SELECT %1 FROM tblChildData").arg(kRecordFieldList));
        const Recordset::ScanRow row(all, 0);
        while (all.step())
            for (const int column : columns)
                if (testCell(shownField(row, column), options).match) {
                    matches.push_back(recordCells(row));
                    break;
                }
    }
    std::map<qint64, RecordCells> found;
    if (!matches.empty()) {
        QHash<QString, qint64> places;
        sql::Statement ordered(connection(), QStringLiteral("SELECT ChildAutoID FROM tblChildData ORDER BY GroupName, "
                                                            "Website"));
        while (ordered.step())
            places.insert(ordered.column(0).toString(), places.size());
        for (RecordCells& r : matches)
            found.emplace(places.value(r[kChildAutoIdColumn]), std::move(r));
    }
    if (p.isSet(QStringLiteral("json"))) {
        QJsonArray list;
        for (const auto& [place, r] : found)
            list.append(recordJson(r, false));
        printJson(QJsonDocument(list));
        return kExitOk;
    }
    if (found.empty()) throw CommandFailure{kExitNotFound, QStringLiteral("Text not found!")};
    for (const auto& [place, r] : found)
        printLine(listedFields(r));
    return kExitOk;
}

int runGenerate(CommandContext& c) {
    printText(generated(c.parser) + QLatin1Char('\n'));
    return kExitOk;
}

int runExport(CommandContext& c) {
    const QCommandLineParser& p = c.parser;
    const bool text = p.isSet(QStringLiteral("text"));
    const bool csv = p.isSet(QStringLiteral("csv"));
    if (int(p.isSet(QStringLiteral("html"))) + int(text) + int(csv) > 1)
        throw CommandFailure{kExitUsage, QStringLiteral("Choose one of --html, --text and --csv")};
    const bool withPasswords = p.isSet(QStringLiteral("with-passwords"));
    QString path = p.value(QStringLiteral("output"));
    if (path.isEmpty()) {
        const QString folder = gAppPath + QStringLiteral("Exports");
        if (!QDir().mkpath(folder))
            throw CommandFailure{kExitFailed, QStringLiteral("Could not Create Destination Folder. (%1)").arg(folder)};
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        path = folder + (csv    ? QStringLiteral("/ExportCSVall.csv")
                         : text ? QStringLiteral("/ExportAsciiAll.txt")
                                : QStringLiteral("/ExportHTMLall.htm"));
    }
    const auto reportExported = [&](qint64 count) {
        std::fprintf(stderr, "keyvale-cli: %lld %s exported to %s\n", count, count == 1 ? "record" : "records",
                     QFile::encodeName(path).constData());
        return kExitOk;
    };
    if (csv) {
        // The window's CSV export of every row, in the grid's order.
        if (!gDBConnection) throw noObject();
        Recordset records(gDBConnection, kSelectChildData);
        {
            Progress progress(QStringLiteral("Exporting..."), records.recordCount());
            exportCsvRecords(records, ExportRows::All, {}, withPasswords, path, progress.callback());
        }
        return reportExported(records.recordCount());
    }
    // The columns the window exports, in its order: the password only when asked for.
    std::vector<int> columns{kGroupNameColumn, kWebsiteColumn, kUserIdColumn};
    if (withPasswords) columns.push_back(kPasswordColumn);
    columns.insert(columns.end(), {kDescriptionColumn, kDateChangedColumn});
    static const QStringList kCaptions = {{}, QStringLiteral("Group Name"), QStringLiteral("Website"),
                                          QStringLiteral("User ID"), QStringLiteral("Password"),
                                          QStringLiteral("Description"), QStringLiteral("Date Changed")};
    QStringList captions;
    for (const int column : columns)
        captions << kCaptions[column];
    const QString htmlTemplate = text ? QString() : deliveredFile(gAppPath, QStringLiteral("KeyvaleTemplate.htm"));
    ExportFile file(text ? ExportFormat::Text : ExportFormat::Html, path, htmlTemplate, captions);
    qint64 count = 0;
    scanAllRecords(
        [&](qint64 place, const Recordset::ScanRow& row) {
            QStringList cells;
            cells.reserve(qsizetype(columns.size()));
            for (const int column : columns)
                cells << shownField(row, column);
            file.addRow(place, cells);
            ++count;
            return true;
        },
        QStringLiteral("Exporting..."));
    file.finish();
    return reportExported(count);
}

int runDbInfo(CommandContext& c) {
    sql::Connection& db = connection();
    qint64 count = 0;
    {
        sql::Statement s(db, QStringLiteral("SELECT count(*) FROM tblChildData"));
        if (s.step()) count = s.column(0).toLongLong();
    }
    const qint64 groups = groupNames(db).size();
    const bool isProtected = gRecordCodec.isProtected();
    QString schema = QStringLiteral("ok");
    try {
        checkDeliveredTables(db);
        // Log-on opened the master password's key; the recovery answer's must be there too.
        if (isProtected) checkKeyWraps(db);
    } catch (const Error& e) {
        schema = e.description();
    }
    const QStringList integrity = integrityCheck(db);
    const QString file = databaseFile(c.session.dataFolder());
    const qint64 size = QFileInfo(file).size();
    if (c.parser.isSet(QStringLiteral("json"))) {
        printJson(QJsonDocument(QJsonObject{{QStringLiteral("file"), file},
                                            {QStringLiteral("records"), count},
                                            {QStringLiteral("groups"), groups},
                                            {QStringLiteral("size"), size},
                                            {QStringLiteral("protected"), isProtected},
                                            {QStringLiteral("schema"), schema},
                                            {QStringLiteral("integrity"), integrity.join(QLatin1Char(' '))}}));
    } else {
        printLine({QStringLiteral("file"), file});
        printLine({QStringLiteral("records"), QString::number(count)});
        printLine({QStringLiteral("groups"), QString::number(groups)});
        printLine({QStringLiteral("size"), QString::number(size)});
        printLine({QStringLiteral("protected"), isProtected ? QStringLiteral("yes") : QStringLiteral("no")});
        printLine({QStringLiteral("schema"), schema});
        printLine({QStringLiteral("integrity"), integrity.join(QLatin1Char(' '))});
    }
    const bool sound = schema == QLatin1String("ok") && integrity == QStringList{QStringLiteral("ok")};
    return sound ? kExitOk : kExitRefused;
}

int runBackup(CommandContext& c) {
    const QString folder = oneArgument(c.parser, "folder");
    if (!QFileInfo(folder).isDir()) throw CommandFailure{kExitNotFound, QStringLiteral("No folder %1").arg(folder)};
    {
        Progress progress(QStringLiteral("Backing up Keyvale's data..."),
                          QFileInfo(databaseFile(c.session.dataFolder())).size());
        backupDatabase(folder, progress.callback());
    }
    std::fprintf(stderr, "keyvale-cli: backed up to %s\n", QFile::encodeName(backupFile(folder)).constData());
    // The window's restore looks for the last backup here.
    if (!storeBackupLocation(folder))
        std::fprintf(stderr, "keyvale-cli: However, there was a problem storing the location in the Keyvale "
                             "database.\n");
    return kExitOk;
}

int runRestore(CommandContext& c) {
    QString path = oneArgument(c.parser, "backup file");
    if (QFileInfo(path).isDir()) path = backupFile(path);
    if (!QFileInfo::exists(path)) throw CommandFailure{kExitNotFound, QStringLiteral("No backup %1").arg(path)};
    try {
        checkBackupFile(path);
        // A backup that opens may still be damaged further in: every page is read before it replaces anything.
        const QStringList problems = integrityCheck(*sql::Connection::open(path, kDatabasePassword));
        if (problems != QStringList{QStringLiteral("ok")}) throw Error(err::NotADatabase, problems.join(QLatin1Char(' ')));
    } catch (const Error& e) {
        throw CommandFailure{kExitRefused, QStringLiteral("%1 is not a sound Keyvale backup (%2); nothing was restored")
                                               .arg(path, e.description())};
    }
    {
        Progress progress(QStringLiteral("Restoring Keyvale's data..."), QFileInfo(path).size());
        restoreDatabase(path, progress.callback());
    }
    std::fprintf(stderr, "keyvale-cli: restored from %s\n", QFile::encodeName(path).constData());
    return kExitOk;
}

int runMove(CommandContext& c) {
    const QString folder = oneArgument(c.parser, "folder");
    if (!QFileInfo(folder).isDir()) throw CommandFailure{kExitNotFound, QStringLiteral("No folder %1").arg(folder)};
    const QString oldFolder = c.session.dataFolder();
    const bool replace = c.parser.isSet(QStringLiteral("replace"));
    const auto refusal = [&](MoveOutcome outcome) {
        // Another installation's data may live there: it is replaced only when asked for.
        if (outcome == MoveOutcome::FolderHoldsData)
            return QStringLiteral("The folder '%1' already holds a Keyvale data file; give --replace to replace it "
                                  "with the data being moved")
                .arg(folder);
        const QString text = notMovedText(outcome, folder);
        return text.isEmpty() ? QStringLiteral("Keyvale's data was not moved") : text;
    };
    if (const MoveOutcome refused = checkMoveTarget(oldFolder, folder, replace); refused != MoveOutcome::Moved)
        throw CommandFailure{kExitRefused, refusal(refused)};
    // The file is copied with no connection open on it, and nothing here needs one again.
    c.session.close();
    MoveResult result;
    {
        Progress progress(QStringLiteral("Moving Keyvale's data..."), QFileInfo(databaseFile(oldFolder)).size());
        result = moveDataFolder({oldFolder, folder, gIniFile, c.session.lock(), replace, progress.callback()});
    }
    switch (result.outcome) {
    case MoveOutcome::Moved:
        break;
    case MoveOutcome::CopyFailed:
        throw *result.error;
    case MoveOutcome::SettingsNotWritten:
        throw CommandFailure{kExitFailed, notMovedText(result.outcome, folder)};
    default:
        throw CommandFailure{kExitRefused, refusal(result.outcome)};
    }
    const bool removed = !c.parser.isSet(QStringLiteral("keep-old")) && removeOldDatabase(oldFolder, gDataFolder);
    std::fprintf(stderr, "keyvale-cli: %s\n",
                 (removed ? QStringLiteral("Moved Keyvale to the new location and deleted data from the old location.")
                          : QStringLiteral("Moved Keyvale to the new location and kept the data in the old location "
                                           "for backup purposes."))
                     .toLocal8Bit()
                     .constData());
    return kExitOk;
}

int runPasswd(CommandContext& c) {
    const std::optional<QString> first = c.secrets.next(QStringLiteral("New Password: "));
    const std::optional<QString> second = c.secrets.next(QStringLiteral("Re-Enter: "));
    if (!first || !second) throw CommandFailure{kExitUsage, QStringLiteral("The new password was not given twice")};
    if (*first != *second)
        throw CommandFailure{kExitRefused, QStringLiteral("New Password and Re-enter Password do not match!")};
    // A database whose rules were never set has none to check.
    if (sql::Statement(connection(), QStringLiteral("SELECT 1 FROM tbladmin")).step()) GetAdminInfo();
    switch (ChangeMasterPassword(*first)) {
    case PasswordChange::Changed:
        return kExitOk;
    case PasswordChange::Refused:
        return kExitRefused; // the rule's message has been shown
    case PasswordChange::NotStored:
        break;
    }
    return kExitFailed;
}

// ---- protection

// Seals the records' secret fields under a data key of their own, or opens them back to the plain form,
// after the master password has been checked again.
int runProtection(CommandContext& c, bool on) {
    if (!c.parser.positionalArguments().isEmpty())
        throw CommandFailure{kExitUsage,
                             QStringLiteral("%1 takes no arguments").arg(QLatin1String(on ? "protect" : "unprotect"))};
    if (gRecordCodec.isProtected() == on)
        throw CommandFailure{kExitRefused, on ? QStringLiteral("The records are protected already; nothing was changed")
                                              : QStringLiteral("The records are not protected; nothing was changed")};
    ProtectionChange change = ProtectionChange::Cancelled;
    {
        Progress progress(on ? QStringLiteral("Protecting the records...")
                             : QStringLiteral("Removing the records' protection..."),
                          0);
        change = SetDatabaseProtected(on, c.session.typedMasterPassword(), progress.partsCallback());
    }
    switch (change) {
    case ProtectionChange::Changed:
        printText(on ? QStringLiteral("The records are now protected.\n")
                     : QStringLiteral("The records are no longer protected.\n"));
        return kExitOk;
    case ProtectionChange::WrongPassword:
        throw CommandFailure{kExitWrongPassword, QStringLiteral("Invalid Password!")};
    case ProtectionChange::Cancelled:
        break;
    }
    throw CommandFailure{kExitFailed, QStringLiteral("The records were not converted; nothing was changed")};
}

// ---- imports

// The next secret, or the usage failure that says it is missing.
QString requiredSecret(Secrets& secrets, const QString& prompt, const QString& what) {
    const std::optional<QString> secret = secrets.next(prompt);
    if (!secret)
        throw CommandFailure{kExitUsage, secrets.fromStdin() ? QStringLiteral("No %1 on standard input").arg(what)
                                                             : QStringLiteral("No terminal to ask for the %1").arg(what)};
    return *secret;
}

int reportRun(const ImportRun& run) {
    if (run.error) throw *run.error;
    std::fprintf(stderr, "keyvale-cli: %d %s imported\n", run.imported, run.imported == 1 ? "record" : "records");
    if (!run.skipped.isEmpty()) {
        QStringList numbers;
        for (const int n : run.skipped)
            numbers << QString::number(n);
        std::fprintf(stderr,
                     "keyvale-cli: not imported, because Keyvale can not store their text unchanged: records %s\n",
                     numbers.join(QStringLiteral(", ")).toLocal8Bit().constData());
    }
    return kExitOk;
}

int runImport4x(CommandContext& c) {
    const QString path = oneArgument(c.parser, "4.x data file");
    QFile device(path);
    if (!device.open(QIODevice::ReadOnly)) throw CommandFailure{kExitNotFound, QStringLiteral("Cannot read %1").arg(path)};
    const OldKeyvaleFile file(device);
    if (!file.hasHeader())
        throw CommandFailure{kExitRefused, QStringLiteral("The Keyvale file dated version 4.x or older is too short to "
                                                          "hold its header record. Nothing was imported.")};
    const QString typed = trimBlanks(requiredSecret(c.secrets, QStringLiteral("Old password: "),
                                                    QStringLiteral("old password")))
                              .toUpper();
    if (typed.isEmpty() || typed != file.oldPassword())
        throw CommandFailure{kExitWrongPassword, QStringLiteral("Invalid Password - Import Failed!")};
    ImportRun run;
    {
        Progress progress(QStringLiteral("Importing..."), qMax(0, file.recordCount() - 1)); // the first is the header
        run = importOldRecords(file, connection(), storedDateNow(), progress.callback());
    }
    return reportRun(run);
}

int runImportDb(CommandContext& c) {
    const QCommandLineParser& p = c.parser;
    const QString folder = oneArgument(p, "data folder");
    const QStringList sites = p.values(QStringLiteral("site"));
    if (sites.isEmpty() && !p.isSet(QStringLiteral("all")))
        throw CommandFailure{kExitUsage, QStringLiteral("Name the records with --site, or give --all")};
    if (sameFolder(folder, gDataFolder))
        throw CommandFailure{kExitRefused, QStringLiteral("Cannot select the current Keyvale database.")};
    if (!QFileInfo(databaseFile(folder)).isFile())
        throw CommandFailure{kExitNotFound, QStringLiteral("No Keyvale database in %1").arg(folder)};
    std::unique_ptr<OtherDatabase> other;
    try {
        other = std::make_unique<OtherDatabase>(folder);
    } catch (const Error& e) {
        if (!OtherDatabase::isNotKeyvaleDatabase(e)) throw;
        throw CommandFailure{kExitRefused, QStringLiteral("The file ") + databaseFile(folder) +
                                               QStringLiteral(" is not a Keyvale database, or not one Keyvale can open.")};
    }
    const QString typed = requiredSecret(c.secrets, QStringLiteral("Password of the other database: "),
                                         QStringLiteral("other database's password"));
    if (!other->opensWith(typed))
        throw CommandFailure{kExitWrongPassword, QStringLiteral("Invalid Password!")};
    // The rows in the other database's order; every site named must be there.
    Recordset& records = other->records();
    QList<int> bookmarks;
    QSet<QString> seen;
    const int website = records.fieldIndex(QStringLiteral("Website"));
    records.scan([&](Recordset::Bookmark bookmark, const Recordset::ScanRow& row) {
        const QString site = row.field(website).toString();
        const bool named = std::any_of(sites.begin(), sites.end(),
                                       [&](const QString& s) { return s.compare(site, Qt::CaseInsensitive) == 0; });
        if (p.isSet(QStringLiteral("all")) || named) {
            bookmarks << bookmark;
            seen.insert(site.toCaseFolded());
        }
        return true;
    });
    for (const QString& site : sites)
        if (!seen.contains(site.toCaseFolded()))
            throw CommandFailure{kExitNotFound, QStringLiteral("No record for web site '%1' in %2").arg(site, folder)};
    std::sort(bookmarks.begin(), bookmarks.end());
    ImportRun run;
    {
        Progress progress(QStringLiteral("Importing..."), bookmarks.size());
        run = importSelectedRows(records, other->codec(), bookmarks, connection(), progress.callback());
    }
    return reportRun(run);
}

// ---- CSV import

// The fields --map names, and the columns of a file they take.
struct MappedField {
    const char* key;
    int CsvColumns::*column;
};
constexpr MappedField kMappedFields[] = {
    {"group", &CsvColumns::group},    {"url", &CsvColumns::url},           {"title", &CsvColumns::title},
    {"user-id", &CsvColumns::userId}, {"password", &CsvColumns::password}, {"description", &CsvColumns::description},
};

// The columns the file's first line gives the fields, changed where --map names others: FIELD=COLUMN pairs,
// a column by its name in the first line (letter case and blanks around it do not matter) or its number
// from 1. The first line is never repeated back: a file without one holds a record there.
CsvColumns csvColumns(const QString& path, const QStringList& maps) {
    const CsvPreview preview = previewCsv(path, 0);
    CsvColumns columns = preview.recognised.columns;
    for (const QString& map : maps) {
        for (const QString& pair : map.split(QLatin1Char(','))) {
            const qsizetype equals = pair.indexOf(QLatin1Char('='));
            const QString key = pair.left(equals).trimmed(), name = pair.mid(equals + 1).trimmed();
            const MappedField* field = nullptr;
            for (const MappedField& f : kMappedFields)
                if (key == QLatin1String(f.key)) field = &f;
            if (equals < 0 || !field || name.isEmpty())
                throw CommandFailure{kExitUsage, QStringLiteral("--map takes FIELD=COLUMN pairs, FIELD one of group, "
                                                                "url, title, user-id, password, description")};
            bool isNumber = false;
            const int number = name.toInt(&isNumber);
            int column = isNumber && number >= 1 && number <= preview.header.size() ? number - 1 : -1;
            for (int c = 0; !isNumber && column < 0 && c < preview.header.size(); ++c)
                if (preview.header[c].trimmed().compare(name, Qt::CaseInsensitive) == 0) column = c;
            if (column < 0)
                throw CommandFailure{kExitUsage, QStringLiteral("No column '%1' in the file's first line").arg(name)};
            columns.*field->column = column;
        }
    }
    return columns;
}

int runImportCsv(CommandContext& c) {
    const QCommandLineParser& p = c.parser;
    const QString path = oneArgument(p, "CSV file");
    CsvImportOptions options;
    options.siteFrom = p.isSet(QStringLiteral("title-as-site")) ? SiteFrom::Title : SiteFrom::Url;
    if (p.isSet(QStringLiteral("group"))) options.group = p.value(QStringLiteral("group")).trimmed();
    if (options.group.isEmpty())
        throw CommandFailure{kExitUsage, QStringLiteral("Please enter the group for records without one.")};
    const QString duplicates = p.value(QStringLiteral("duplicates"));
    if (duplicates != QLatin1String("skip") && duplicates != QLatin1String("add"))
        throw CommandFailure{kExitUsage, QStringLiteral("--duplicates is skip or add")};
    options.addDuplicates = duplicates == QLatin1String("add");
    if (QFile file(path); !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw CommandFailure{kExitNotFound, QStringLiteral("Cannot read %1").arg(path)};

    CsvImport run;
    try {
        options.columns = csvColumns(path, p.values(QStringLiteral("map")));
        // Without them every record would be stored blank where it matters most.
        const auto missing = [](const QString& what) {
            return CommandFailure{kExitRefused, QStringLiteral("The file has no column of %1. Nothing was imported; "
                                                               "name its columns with --map (see --help).")
                                                    .arg(what)};
        };
        if (options.columns->password < 0) throw missing(QStringLiteral("passwords"));
        if (options.columns->url < 0 && options.columns->title < 0)
            throw missing(QStringLiteral("web sites (URL or title)"));
        Progress progress(QStringLiteral("Importing..."), QFileInfo(path).size());
        run = importCsvFile(path, connection(), options, storedDateNow(), progress.callback());
    } catch (const CsvError& e) {
        throw CommandFailure{kExitRefused, e.message() + QStringLiteral(" Nothing was imported.")};
    }
    if (run.error) throw *run.error;
    for (const QString& line : csvImportSummary(run, options.addDuplicates).split(QLatin1Char('\n')))
        std::fprintf(stderr, "keyvale-cli: %s\n", line.toLocal8Bit().constData());
    return kExitOk;
}

void json(QCommandLineParser& p) {
    p.addOption(Option(QStringLiteral("json"), QStringLiteral("Print one JSON document.")));
}
void groupFilter(QCommandLineParser& p) {
    p.addOption(Option(QStringLiteral("group"), QStringLiteral("The record's group, where the site is in several."),
                       QStringLiteral("G")));
}

} // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> all = {
        {"ls", "List the records (of one group), without passwords.", "[GROUP]", false, true, json, runLs},
        {"groups", "List the group names with their record counts.", "", false, true, json, runGroups},
        {"show", "Show one record; the password only when asked for.", "SITE", false, true,
         [](QCommandLineParser& p) {
             json(p);
             groupFilter(p);
             p.addOption(Option(QStringLiteral("show-password"), QStringLiteral("Print the password too.")));
             p.addOption(Option(QStringLiteral("copy"), QStringLiteral("Put the password on the clipboard.")));
             p.addOption(Option(QStringLiteral("clear-after"),
                                QStringLiteral("Seconds until the clipboard is cleared (default 30)."),
                                QStringLiteral("N"), kClipboardSeconds));
         },
         runShow},
        {"search", "List the records where a text is found.", "TEXT", false, true,
         [](QCommandLineParser& p) {
             json(p);
             p.addOption(Option(QStringLiteral("field"),
                                QStringLiteral("all (every field but the passwords), group, site, user-id, password, "
                                               "description, date, prior-user-id or prior-password."),
                                QStringLiteral("F"), QStringLiteral("all")));
             p.addOption(Option(QStringLiteral("match"),
                                QStringLiteral("begin (the field begins with it), any (anywhere in the field) or "
                                               "whole (the whole field)."),
                                QStringLiteral("KIND"), QStringLiteral("begin")));
         },
         runSearch},
        {"add", "Add a record.", "", true, true, [](QCommandLineParser& p) { defineRecordFields(p, true); }, runAdd},
        {"edit", "Change a record; its prior user ID and password are kept.", "SITE", true, true,
         [](QCommandLineParser& p) { defineRecordFields(p, false); }, runEdit},
        {"rm", "Delete a record.", "SITE", true, true, groupFilter, runRm},
        {"generate", "Print a generated password.", "", false, false, defineGenerator, runGenerate},
        {"export", "Export every record to HTML (the default), text or CSV.", "", false, true,
         [](QCommandLineParser& p) {
             p.addOption(Option(QStringLiteral("html"), QStringLiteral("HTML through the template.")));
             p.addOption(Option(QStringLiteral("text"), QStringLiteral("Plain text.")));
             p.addOption(Option(QStringLiteral("csv"),
                                QStringLiteral("CSV under the header Group,Web Site,User ID,Password,Description,"
                                               "Date Changed.")));
             p.addOption(Option(QStringLiteral("with-passwords"), QStringLiteral("Include the Password column.")));
             p.addOption(Option({QStringLiteral("o"), QStringLiteral("output")},
                                QStringLiteral("The file (default: the Exports folder)."), QStringLiteral("FILE")));
         },
         runExport},
        {"db-info", "Records, groups, file size, protection, schema and integrity checks.", "", false, true, json,
         runDbInfo},
        {"backup", "Copy the database to keyvale.bak in a folder.", "FOLDER", true, true, [](QCommandLineParser&) {},
         runBackup},
        {"restore", "Replace the database with a checked backup.", "FILE", true, true, [](QCommandLineParser&) {},
         runRestore},
        {"move", "Move the database to another data folder, and the settings file with it.", "FOLDER", true, true,
         [](QCommandLineParser& p) {
             p.addOption(Option(QStringLiteral("keep-old"),
                                QStringLiteral("Keep the old data file as a backup (it is deleted otherwise).")));
             p.addOption(Option(QStringLiteral("replace"),
                                QStringLiteral("Replace a Keyvale data file already in the folder.")));
         },
         runMove},
        {"passwd", "Change the master password.", "", true, true, [](QCommandLineParser&) {}, runPasswd},
        {"protect", "Seal the records' user IDs, passwords and descriptions with a key of their own.", "", true, true,
         [](QCommandLineParser&) {}, [](CommandContext& c) { return runProtection(c, true); }},
        {"unprotect", "Store the records in the plain form again.", "", true, true, [](QCommandLineParser&) {},
         [](CommandContext& c) { return runProtection(c, false); }},
        {"import-4x", "Import every record of a 4.x data file under IMPORTED DATA.", "FILE", true, true,
         [](QCommandLineParser&) {}, runImport4x},
        {"import-db", "Import records of another data folder's database.", "FOLDER", true, true,
         [](QCommandLineParser& p) {
             p.addOption(Option(QStringLiteral("site"), QStringLiteral("Import the records of this web site (repeat)."),
                                QStringLiteral("SITE")));
             p.addOption(Option(QStringLiteral("all"), QStringLiteral("Import every record.")));
         },
         runImportDb},
        {"import-csv", "Import the records of a CSV file, as password managers and browsers export them.", "FILE", true,
         true,
         [](QCommandLineParser& p) {
             p.addOption(
                 Option(QStringLiteral("group"),
                        QStringLiteral("The group for records the file gives none (default %1).").arg(kCsvDefaultGroup),
                        QStringLiteral("G")));
             p.addOption(Option(QStringLiteral("title-as-site"),
                                QStringLiteral("Take the web site from the title, and from the URL where the title is "
                                               "empty (the default is the other way round).")));
             p.addOption(Option(QStringLiteral("duplicates"),
                                QStringLiteral("skip (the default) or add the records already stored under the same "
                                               "group, web site and user ID."),
                                QStringLiteral("skip|add"), QStringLiteral("skip")));
             p.addOption(Option(QStringLiteral("map"),
                                QStringLiteral("Choose columns yourself: FIELD=COLUMN pairs separated by commas, FIELD "
                                               "one of group, url, title, user-id, password, description, COLUMN a "
                                               "name in the file's first line or a number from 1."),
                                QStringLiteral("PAIRS")));
         },
         runImportCsv},
    };
    return all;
}

} // namespace kv::cli
