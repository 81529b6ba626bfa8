#pragma once

#include "store/Sqlite.h"

#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kv {

// A scrollable, updatable result set over one table, in the order of its statement.
//
// Opening reads only the ordered row keys; a row's fields are fetched when first asked for and kept in a
// bounded cache, so a recordset over a large table opens fast and costs little memory. Bookmarks are the
// rows' 1-based positions as opened (or as added): they stay valid across deletes, and a new row is
// appended at the end until the next requery. Updates are written to the file at once.
//
// The statement has the form "SELECT <fields or *> FROM <table> [WHERE ...] [ORDER BY ...]"; values
// taken from the user are passed as parameters ("?"), never joined into the text.
class Recordset {
public:
    using Bookmark = int;

    Recordset(std::shared_ptr<sql::Connection> connection, const QString& statement, QVariantList params = {});
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    const QString& statement() const { return statement_; }
    const QString& table() const { return table_; }
    sql::Connection& connection() const { return *connection_; }
    void close();
    bool isOpen() const { return open_; }

    // Position
    bool bof() const;
    bool eof() const;
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    // Moves n rows from the current row (negative: backwards); beyond the ends it stops at BOF or EOF.
    void move(int n);
    int recordCount() const { return live_; }

    Bookmark bookmark() const;              // throws 3021 at BOF/EOF
    void setBookmark(Bookmark bookmark);    // throws 3159 for a bookmark that is not a row
    bool isValidBookmark(Bookmark bookmark) const;

    // Finds, from the current row forwards, the first row whose field equals value (text compared without
    // regard to case); stands at EOF when none does. Answers whether a row was found.
    bool find(const QString& field, const QVariant& value);

    // One row met by scan(): its fields, read from the file only when asked for.
    class ScanRow {
    public:
        ScanRow(const sql::Statement& statement, int firstField) : statement_(statement), first_(firstField) {}
        QVariant field(int index) const { return statement_.column(first_ + index); }

    private:
        const sql::Statement& statement_;
        int first_;
    };
    // Hands every row to `visit` once, with its bookmark, in the order the file gives them fastest (not the
    // recordset's order), for work that looks at all rows; `visit` answers false to stop. The current row
    // does not move. A pending edit is stored first.
    void scan(const std::function<bool(Bookmark, const ScanRow&)>& visit);

    // Re-runs the statement and stands on the first row.
    void requery();

    // Fields, by position or by name (names without regard to case).
    int fieldCount() const { return int(fieldNames_.size()); }
    QString fieldName(int index) const;
    int fieldIndex(const QString& name) const; // throws 3265 when there is no such field
    QVariant field(int index) const;           // throws 3021 when there is no current row
    QVariant field(const QString& name) const { return field(fieldIndex(name)); }

    // Editing: addNew starts a new row; setField changes the current (or new) row; update writes it.
    void addNew();
    void setField(int index, const QVariant& value);
    void setField(const QString& name, const QVariant& value) { setField(fieldIndex(name), value); }
    void update();
    void cancelUpdate();
    bool isEditing() const { return editMode_ != EditMode::None; }

    // Deletes the current row from the file; the position stays on the deleted row until the next move.
    void deleteCurrent();

private:
    enum class EditMode { None, Edit, Add };

    void ensureOpen() const;
    void loadKeys();
    void flushPendingEdit();
    const QVector<QVariant>& currentRow() const;
    bool isLive(int position) const { return position >= 0 && position < int(keys_.size()) && !deleted_[position]; }

    std::shared_ptr<sql::Connection> connection_;
    QString statement_;
    QVariantList params_;
    QString table_;
    QString fieldsText_;
    QString restText_;
    QStringList fieldNames_;
    bool open_ = false;

    std::vector<qint64> keys_;   // row keys in the order opened, then added
    std::vector<bool> deleted_;  // by position
    int live_ = 0;
    int position_ = 0;           // -1 = BOF, keys_.size() = EOF

    EditMode editMode_ = EditMode::None;
    std::unordered_map<int, QVariant> pending_;

    mutable std::unique_ptr<sql::Statement> fetch_;
    mutable std::unordered_map<qint64, QVector<QVariant>> cache_;
};

} // namespace kv
