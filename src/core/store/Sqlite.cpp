#include "store/Sqlite.h"

#include <QFile>
#include <QFileInfo>
#include <sqlcipher/sqlite3.h>

namespace kv::sql {

namespace {

Error errorFor(sqlite3* db, int rc) {
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    if (message.startsWith(QLatin1String("no such table: "))) {
        const QString table = message.mid(15);
        return Error(err::TableMissing, QStringLiteral("The database engine cannot find the input table or query "
                                                       "'%1'.  Make sure it exists and that its name is spelled "
                                                       "correctly.")
                                            .arg(table));
    }
    // Pages that fail their check read as damage, whichever of the two codes SQLite gives for them.
    if ((extended & 0xFF) == SQLITE_CORRUPT || (extended & 0xFF) == SQLITE_NOTADB)
        return Error(err::DatabaseDamaged, message);
    switch (extended) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
        return Error(err::DuplicateValue, QStringLiteral("The changes you requested to the table were not "
                                                         "successful because they would create duplicate values "
                                                         "in the index or primary key"));
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return Error(err::RelatedRecordRequired,
                     QStringLiteral("You cannot add or change a record because a related record is required"));
    default: break;
    }
    return Error(err::DatabaseError, message);
}

// A connection is used by the one thread that opened it: SQLite's own locking of every call on it would be
// paid for nothing (a tenth of a scan over every record).
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;

} // namespace

std::shared_ptr<Connection> Connection::open(const QString& path, const QByteArray& key) {
    if (!QFileInfo(path).isFile())
        throw Error(err::FileMissing, QStringLiteral("Could not find file '%1'.").arg(path));
    std::shared_ptr<Connection> c(new Connection);
    c->path_ = path;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &c->db_, kOpenFlags, nullptr);
    if (rc != SQLITE_OK) {
        Error e = errorFor(c->db_, rc);
        c->close();
        throw e;
    }
    sqlite3_key(c->db_, key.constData(), int(key.size()));
    rc = sqlite3_exec(c->db_, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_NOTADB) {
        c->close();
        // A keyed file is a whole number of pages with no readable header; anything else is no database.
        const qint64 size = QFileInfo(path).size();
        QFile f(path);
        QByteArray head;
        if (f.open(QIODevice::ReadOnly)) head = f.read(16);
        if (size >= 1024 && size % 1024 == 0 && !head.startsWith("SQLite format 3"))
            throw Error(err::NotAValidPassword, QStringLiteral("Not a valid password."));
        throw Error(err::NotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
    }
    if (rc != SQLITE_OK) {
        Error e = errorFor(c->db_, rc);
        c->close();
        throw e;
    }
    c->executeScript(QStringLiteral("PRAGMA foreign_keys = ON;"));
    return c;
}

std::shared_ptr<Connection> Connection::create(const QString& path, const QByteArray& key) {
    if (QFileInfo::exists(path)) throw Error(err::DatabaseError, QStringLiteral("The file '%1' exists.").arg(path));
    // Create the file owner-only before SQLite writes a byte to it.
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            throw Error(err::PathNotFound, QStringLiteral("Path not found: '%1'").arg(path));
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    std::shared_ptr<Connection> c(new Connection);
    c->path_ = path;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &c->db_, kOpenFlags, nullptr);
    if (rc != SQLITE_OK) {
        Error e = errorFor(c->db_, rc);
        c->close();
        throw e;
    }
    sqlite3_key(c->db_, key.constData(), int(key.size()));
    c->executeScript(QStringLiteral("PRAGMA foreign_keys = ON;"));
    return c;
}

Connection::~Connection() { close(); }

void Connection::executeLong(const QString& sql, const std::function<bool()>& keepGoing) {
    // SQLite asks after every so many steps of its machine: often enough to keep a window answering.
    constexpr int kStepsBetweenAsks = 10000;
    struct Asked {
        const std::function<bool()>& keepGoing;
        // Called from inside SQLite: nothing may be thrown through it, so a failure to answer stops the work.
        static int ask(void* self) noexcept {
            try {
                return static_cast<Asked*>(self)->keepGoing() ? 0 : 1;
            } catch (...) {
                return 1;
            }
        }
    } asked{keepGoing};
    if (keepGoing) sqlite3_progress_handler(db_, kStepsBetweenAsks, &Asked::ask, &asked);
    try {
        executeScript(sql);
    } catch (...) {
        sqlite3_progress_handler(db_, 0, nullptr, nullptr);
        throw;
    }
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
}

void Connection::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

sqlite3* Connection::handle() const {
    if (!db_) throw Error(3704, QStringLiteral("Operation is not allowed when the object is closed."));
    return db_;
}

int Connection::execute(const QString& sql, const QVariantList& params) {
    Statement st(*this, sql);
    st.bindAll(params);
    while (st.step()) {
    }
    return sqlite3_changes(handle());
}

void Connection::executeScript(const QString& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) throw lastError(rc);
}

qint64 Connection::lastInsertRowid() const { return sqlite3_last_insert_rowid(handle()); }

Error Connection::lastError(int rc) const { return errorFor(db_, rc); }

bool Connection::isReadOnly() const {
    return sqlite3_db_readonly(handle(), "main") == 1;
}

Statement::Statement(const Connection& connection, const QString& sql) : connection_(connection) {
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(connection.handle(), text.constData(), int(text.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) throw connection.lastError(rc);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(stmt_, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::Bool: rc = sqlite3_bind_int64(stmt_, index, value.toLongLong()); break;
        case QMetaType::Double: rc = sqlite3_bind_double(stmt_, index, value.toDouble()); break;
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(stmt_, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK) throw connection_.lastError(rc);
}

void Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) bind(i + 1, values[i]);
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    throw connection_.lastError(rc);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

QString Statement::columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(stmt_, i)); }

QVariant Statement::column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt_, i));
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i)),
                                          sqlite3_column_bytes(stmt_, i)));
    }
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.executeScript(QStringLiteral("BEGIN;"));
}

Transaction::~Transaction() {
    if (!done_ && connection_.isOpen()) sqlite3_exec(connection_.handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    connection_.executeScript(QStringLiteral("COMMIT;"));
    done_ = true;
}

} // namespace kv::sql
