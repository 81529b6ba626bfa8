#pragma once

#include "platform/Error.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace kv::sql {

// One open SQLCipher database file. Opens existing files only and keys them before the first read.
class Connection {
public:
    // Opens `path` keyed with `key`, turns on foreign keys and reads the schema once, so that a wrong key
    // or a file that is not a database fails here. Throws kv::Error.
    static std::shared_ptr<Connection> open(const QString& path, const QByteArray& key);
    // Creates a new, empty keyed file (owner-only); fails when the file exists.
    static std::shared_ptr<Connection> create(const QString& path, const QByteArray& key);

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    void close();
    sqlite3* handle() const;
    const QString& path() const { return path_; }

    // Runs one statement with bound parameters; answers the number of rows changed.
    int execute(const QString& sql, const QVariantList& params = {});
    // Runs several statements without parameters (schema scripts).
    void executeScript(const QString& sql);
    // Runs a long statement without parameters, asking `keepGoing` every so often whether to go on (a false
    // answer interrupts it, which then throws as a failure would).
    void executeLong(const QString& sql, const std::function<bool()>& keepGoing);
    qint64 lastInsertRowid() const;

    // True when SQLite could open the file for reading only (the file may not be written by this user).
    bool isReadOnly() const;

    // The kv::Error for the connection's last failure.
    Error lastError(int rc) const;

private:
    Connection() = default;
    sqlite3* db_ = nullptr;
    QString path_;
};

// A prepared statement; finalised when it goes out of scope.
class Statement {
public:
    Statement(const Connection& connection, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based, as SQLite counts
    void bindAll(const QVariantList& values);
    // Steps once: true while a row is available.
    bool step();
    void reset();
    int columnCount() const;
    QString columnName(int i) const;
    QVariant column(int i) const;

private:
    const Connection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Begins a transaction and rolls it back unless committed.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    void commit();

private:
    Connection& connection_;
    bool done_ = false;
};

} // namespace kv::sql
