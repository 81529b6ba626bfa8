#include "store/Recordset.h"

#include <QRegularExpression>
#include <algorithm>
#include <climits>

namespace kv {

namespace {

constexpr std::size_t kCacheLimit = 4096;

Error noCurrentRecord() { return Error(err::NoCurrentRecord, QStringLiteral("No current record.")); }

// Text compares as the database's names do: A to Z match their lower case, every other character only
// itself. A wider rule would find a group the database then does not take as the same.
bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
    const QString x = a.toString();
    const QString y = b.toString();
    if (x.size() != y.size()) return false;
    const auto fold = [](QChar c) {
        return c >= QLatin1Char('A') && c <= QLatin1Char('Z') ? QChar(c.unicode() + ('a' - 'A')) : c;
    };
    for (qsizetype i = 0; i < x.size(); ++i)
        if (fold(x[i]) != fold(y[i])) return false;
    return true;
}

} // namespace

Recordset::Recordset(std::shared_ptr<sql::Connection> connection, const QString& statement, QVariantList params)
    : connection_(std::move(connection)), statement_(statement), params_(std::move(params)) {
    static const QRegularExpression form(QStringLiteral("^\\s*select\\s+(.+?)\\s+from\\s+(\\w+)\\s*(.*?)\\s*;?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    const auto m = form.match(statement);
    if (!m.hasMatch()) throw Error(err::DatabaseError, QStringLiteral("Invalid statement: %1").arg(statement));
    fieldsText_ = m.captured(1);
    table_ = m.captured(2);
    restText_ = m.captured(3);
    if (!connection_ || !connection_->isOpen())
        throw Error(3704, QStringLiteral("Operation is not allowed when the object is closed."));
    fetch_ = std::make_unique<sql::Statement>(
        *connection_, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(fieldsText_, table_));
    for (int i = 0; i < fetch_->columnCount(); ++i) fieldNames_.append(fetch_->columnName(i));
    loadKeys();
    open_ = true;
}

Recordset::~Recordset() = default;

void Recordset::close() {
    fetch_.reset();
    cache_.clear();
    keys_.clear();
    deleted_.clear();
    live_ = 0;
    open_ = false;
}

void Recordset::ensureOpen() const {
    if (!open_ || !connection_->isOpen())
        throw Error(3704, QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::loadKeys() {
    sql::Statement keys(*connection_, QStringLiteral("SELECT %1.rowid FROM %1 %2").arg(table_, restText_));
    keys.bindAll(params_);
    keys_.clear();
    while (keys.step()) keys_.push_back(keys.column(0).toLongLong());
    deleted_.assign(keys_.size(), false);
    live_ = int(keys_.size());
    cache_.clear();
    editMode_ = EditMode::None;
    pending_.clear();
    position_ = 0;
    if (live_ == 0) position_ = int(keys_.size());
}

bool Recordset::bof() const { return live_ == 0 || position_ < 0; }

bool Recordset::eof() const { return live_ == 0 || position_ >= int(keys_.size()); }

void Recordset::moveFirst() {
    ensureOpen();
    flushPendingEdit();
    position_ = 0;
    while (position_ < int(keys_.size()) && deleted_[position_]) ++position_;
}

void Recordset::moveLast() {
    ensureOpen();
    flushPendingEdit();
    position_ = int(keys_.size()) - 1;
    while (position_ >= 0 && deleted_[position_]) --position_;
    if (live_ == 0) position_ = int(keys_.size());
}

void Recordset::moveNext() {
    ensureOpen();
    if (position_ >= int(keys_.size())) throw noCurrentRecord();
    flushPendingEdit();
    do {
        ++position_;
    } while (position_ < int(keys_.size()) && deleted_[position_]);
}

void Recordset::movePrevious() {
    ensureOpen();
    if (position_ < 0) throw noCurrentRecord();
    flushPendingEdit();
    do {
        --position_;
    } while (position_ >= 0 && deleted_[position_]);
}

void Recordset::move(int n) {
    ensureOpen();
    flushPendingEdit();
    for (; n > 0 && position_ < int(keys_.size()); --n) {
        do {
            ++position_;
        } while (position_ < int(keys_.size()) && deleted_[position_]);
    }
    for (; n < 0 && position_ >= 0; ++n) {
        do {
            --position_;
        } while (position_ >= 0 && deleted_[position_]);
    }
}

Recordset::Bookmark Recordset::bookmark() const {
    ensureOpen();
    if (position_ < 0 || position_ >= int(keys_.size())) throw noCurrentRecord();
    return position_ + 1;
}

bool Recordset::isValidBookmark(Bookmark bookmark) const { return isLive(bookmark - 1); }

void Recordset::setBookmark(Bookmark bookmark) {
    ensureOpen();
    if (!isLive(bookmark - 1)) throw Error(3159, QStringLiteral("Not a valid bookmark."));
    flushPendingEdit();
    position_ = bookmark - 1;
}

bool Recordset::find(const QString& name, const QVariant& value) {
    ensureOpen();
    const int index = fieldIndex(name);
    flushPendingEdit();
    if (position_ < 0) moveFirst();
    for (; position_ < int(keys_.size()); ++position_) {
        if (deleted_[position_]) continue;
        if (sameValue(currentRow()[index], value)) return true;
    }
    return false;
}

void Recordset::scan(const std::function<bool(Bookmark, const ScanRow&)>& visit) {
    ensureOpen();
    flushPendingEdit();
    if (live_ == 0) return;
    // Plain names, not a structured binding: the lambda below uses them, which clang 14 refuses.
    const auto bounds = std::minmax_element(keys_.begin(), keys_.end());
    const auto low = bounds.first, high = bounds.second;
    const qint64 span = *high - *low + 1;
    sql::Statement range(*connection_, QStringLiteral("SELECT min(rowid), max(rowid) FROM %1").arg(table_));
    const qint64 tableSpan = range.step() ? range.column(1).toLongLong() - range.column(0).toLongLong() + 1 : 0;

    // A few rows of a large table (one group of many) are read one by one; otherwise the whole table is read
    // in its own order, which is several times faster than by key, and the rows of this recordset picked out.
    if (qint64(live_) * 8 < tableSpan) {
        for (int position = 0; position < int(keys_.size()); ++position) {
            if (deleted_[position]) continue;
            fetch_->reset();
            fetch_->bind(1, keys_[position]);
            const bool found = fetch_->step();
            const bool go = !found || visit(position + 1, ScanRow(*fetch_, 0));
            fetch_->reset();
            if (!go) return;
        }
        return;
    }

    // Where each row key stands in the recordset: by key directly when the keys lie close together (the
    // usual case), else by a search of the sorted keys.
    std::vector<int> byKey;
    std::vector<std::pair<qint64, int>> sorted;
    const bool dense = span <= qint64(keys_.size()) * 4 + 1024;
    if (dense) {
        byKey.assign(std::size_t(span), -1);
        for (int position = 0; position < int(keys_.size()); ++position)
            if (!deleted_[position]) byKey[std::size_t(keys_[position] - *low)] = position;
    } else {
        for (int position = 0; position < int(keys_.size()); ++position)
            if (!deleted_[position]) sorted.emplace_back(keys_[position], position);
        std::sort(sorted.begin(), sorted.end());
    }
    const auto positionOf = [&](qint64 key) {
        if (dense) return key < *low || key > *high ? -1 : byKey[std::size_t(key - *low)];
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), std::pair<qint64, int>(key, INT_MIN));
        return it != sorted.end() && it->first == key ? it->second : -1;
    };
    sql::Statement all(*connection_, QStringLiteral("SELECT rowid, %1 FROM %2").arg(fieldsText_, table_));
    while (all.step()) {
        const int position = positionOf(all.column(0).toLongLong());
        if (position >= 0 && !visit(position + 1, ScanRow(all, 1))) return;
    }
}

void Recordset::requery() {
    ensureOpen();
    loadKeys();
}

QString Recordset::fieldName(int index) const {
    if (index < 0 || index >= fieldNames_.size())
        throw Error(err::ItemNotFound,
                    QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                                   "ordinal."));
    return fieldNames_[index];
}

int Recordset::fieldIndex(const QString& name) const {
    for (int i = 0; i < fieldNames_.size(); ++i)
        if (fieldNames_[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    throw Error(err::ItemNotFound,
                QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                               "ordinal."));
}

const QVector<QVariant>& Recordset::currentRow() const {
    ensureOpen();
    if (!isLive(position_)) throw noCurrentRecord();
    const qint64 key = keys_[position_];
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    if (cache_.size() >= kCacheLimit) cache_.clear();
    fetch_->reset();
    fetch_->bind(1, key);
    QVector<QVariant> row(fieldNames_.size());
    if (fetch_->step()) {
        for (int i = 0; i < row.size(); ++i) row[i] = fetch_->column(i);
    }
    fetch_->reset();
    return cache_.emplace(key, std::move(row)).first->second;
}

QVariant Recordset::field(int index) const {
    if (index < 0 || index >= fieldNames_.size()) fieldName(index); // throws
    if (editMode_ != EditMode::None) {
        if (auto it = pending_.find(index); it != pending_.end()) return it->second;
        if (editMode_ == EditMode::Add) return {};
    }
    return currentRow()[index];
}

void Recordset::addNew() {
    ensureOpen();
    flushPendingEdit();
    editMode_ = EditMode::Add;
    pending_.clear();
}

void Recordset::setField(int index, const QVariant& value) {
    ensureOpen();
    fieldName(index); // throws for a field that is not there
    if (editMode_ == EditMode::None) {
        if (!isLive(position_)) throw noCurrentRecord();
        editMode_ = EditMode::Edit;
    }
    pending_[index] = value;
}

void Recordset::update() {
    ensureOpen();
    if (editMode_ == EditMode::None) return;
    QStringList columns;
    QVariantList values;
    for (const auto& [index, value] : pending_) {
        columns.append(fieldNames_[index]);
        values.append(value);
    }
    if (editMode_ == EditMode::Add) {
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i) marks.append(QStringLiteral("?"));
        const QString sql = columns.isEmpty()
                                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table_)
                                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                      .arg(table_, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        connection_->execute(sql, values);
        keys_.push_back(connection_->lastInsertRowid());
        deleted_.push_back(false);
        ++live_;
        position_ = int(keys_.size()) - 1;
    } else if (!columns.isEmpty()) {
        QStringList sets;
        for (const QString& c : columns) sets.append(c + QStringLiteral(" = ?"));
        values.append(keys_[position_]);
        connection_->execute(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(table_, sets.join(QLatin1Char(','))),
                             values);
        cache_.erase(keys_[position_]);
    }
    editMode_ = EditMode::None;
    pending_.clear();
}

void Recordset::cancelUpdate() {
    editMode_ = EditMode::None;
    pending_.clear();
}

void Recordset::flushPendingEdit() {
    // Moving away from an edited row stores it, as an update would.
    if (editMode_ != EditMode::None) update();
}

void Recordset::deleteCurrent() {
    ensureOpen();
    if (editMode_ == EditMode::Add) {
        cancelUpdate();
        return;
    }
    cancelUpdate();
    if (!isLive(position_)) throw noCurrentRecord();
    connection_->execute(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(table_), {keys_[position_]});
    cache_.erase(keys_[position_]);
    deleted_[position_] = true;
    --live_;
}

} // namespace kv
