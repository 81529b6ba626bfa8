#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

class QIODevice;

namespace kv {

// A file that cannot be read as CSV, with the message the user is shown.
class CsvError : public std::runtime_error {
public:
    explicit CsvError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// One record of a CSV file.
struct CsvRecord {
    QStringList fields;
    qint64 line = 0;      // the line it begins on, from 1
    bool badText = false; // some bytes were not UTF-8; they were replaced, so the text is not the file's
};

// Reads CSV as it is written in practice: fields quoted or not, quotes doubled inside quotes, line breaks
// inside quotes, CRLF, LF or CR line ends, a UTF-8 byte order mark, and a comma, semicolon or tab between
// fields (whichever the first line uses most). Blank lines are passed over. The file is read in chunks and
// a record may not grow past `maxRecordBytes`, so neither a huge file nor a huge line fills the memory.
class CsvReader {
public:
    static constexpr qint64 kMaxRecordBytes = 1 << 20;

    explicit CsvReader(QIODevice& device, qint64 maxRecordBytes = kMaxRecordBytes);

    // The next record; false at the end of the file. Throws CsvError for a record longer than the limit,
    // a quote that is never closed, a NUL byte (a binary file) or a read that fails.
    bool next(CsvRecord& record);

    char delimiter() const { return delimiter_; }
    qint64 bytesRead() const { return consumed_; }

private:
    bool fill();
    void detectDelimiter();
    QString decode(const QByteArray& bytes, bool& bad) const;

    QIODevice& device_;
    qint64 maxRecordBytes_;
    QByteArray chunk_;
    qsizetype at_ = 0;
    qint64 consumed_ = 0;
    qint64 line_ = 1;
    char delimiter_ = ',';
    bool started_ = false;
    bool skipLineFeed_ = false; // the last byte was a CR that ended a line
    bool ended_ = false;
};

} // namespace kv
