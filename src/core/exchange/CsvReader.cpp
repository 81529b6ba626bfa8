#include "exchange/CsvReader.h"

#include <QByteArrayView>
#include <QIODevice>

namespace kv {

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

} // namespace

CsvReader::CsvReader(QIODevice& device, qint64 maxRecordBytes) : device_(device), maxRecordBytes_(maxRecordBytes) {}

bool CsvReader::fill() {
    if (ended_) return false;
    consumed_ += at_;
    chunk_.resize(kChunkBytes);
    const qint64 got = device_.read(chunk_.data(), kChunkBytes);
    if (got < 0) throw CsvError(QStringLiteral("The file could not be read."));
    chunk_.resize(got);
    at_ = 0;
    if (got == 0) ended_ = true;
    return got > 0;
}

// The separator is the one of comma, semicolon and tab that the first line (quotes left out) holds most
// of; a line with none of them is one column, read as comma-separated.
void CsvReader::detectDelimiter() {
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (qsizetype i = at_; i < chunk_.size(); ++i) {
        const char c = chunk_[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
        else if (!quoted && c == '\t')
            ++tabs;
    }
    if (semicolons > commas && semicolons >= tabs)
        delimiter_ = ';';
    else if (tabs > commas && tabs > semicolons)
        delimiter_ = '\t';
}

QString CsvReader::decode(const QByteArray& bytes, bool& bad) const {
    if (!QByteArrayView(bytes).isValidUtf8()) bad = true;
    return QString::fromUtf8(bytes);
}

bool CsvReader::next(CsvRecord& record) {
    if (!started_) {
        started_ = true;
        fill();
        if (chunk_.startsWith("\xEF\xBB\xBF")) at_ = 3;
        detectDelimiter();
    }
    enum class State { FieldStart, Plain, Quoted, QuoteInQuoted };
    State state = State::FieldStart;
    QByteArray field;
    QList<QByteArray> fields;
    qint64 recordBytes = 0;
    qint64 quoteLine = 0;
    bool any = false; // the record has a byte besides its line end
    record.line = line_;
    record.badText = false;

    const auto finishRecord = [&] {
        fields.append(field);
        record.fields.clear();
        record.fields.reserve(fields.size());
        for (const QByteArray& f : fields)
            record.fields.append(decode(f, record.badText));
    };

    for (;;) {
        if (at_ >= chunk_.size() && !fill()) {
            if (state == State::Quoted)
                throw CsvError(QStringLiteral("The quote that opens on line %1 is never closed.").arg(quoteLine));
            if (!any) return false;
            finishRecord();
            return true;
        }
        const char c = chunk_[at_++];
        // The LF of a CRLF belongs to the line the CR ended.
        const bool crlf = skipLineFeed_ && c == '\n';
        skipLineFeed_ = false;
        if (c == '\0') throw CsvError(QStringLiteral("This is not a CSV file: it holds binary data."));
        if (++recordBytes > maxRecordBytes_)
            throw CsvError(QStringLiteral("The record that begins on line %1 is longer than %2 MB. A quote that is "
                                          "never closed can cause this.")
                               .arg(record.line)
                               .arg(maxRecordBytes_ / (1024 * 1024)));
        const bool lineEnd = c == '\n' || c == '\r';
        if (lineEnd && !crlf) ++line_;
        skipLineFeed_ = c == '\r';
        switch (state) {
        case State::Quoted:
            if (c == '"')
                state = State::QuoteInQuoted;
            else
                field.append(c);
            break;
        case State::QuoteInQuoted:
            if (c == '"') {
                field.append(c);
                state = State::Quoted;
                break;
            }
            [[fallthrough]];
        case State::FieldStart:
        case State::Plain:
            if (lineEnd) {
                if (!any) {
                    record.line = line_; // a blank line: the record begins on the next one
                    recordBytes = 0;
                    break;
                }
                finishRecord();
                return true;
            }
            any = true;
            if (c == delimiter_) {
                fields.append(field);
                field.clear();
                state = State::FieldStart;
            } else if (c == '"' && state == State::FieldStart) {
                quoteLine = line_;
                state = State::Quoted;
            } else {
                // A quote inside an unquoted field, or text after a closing quote, is kept as it stands.
                field.append(c);
                state = State::Plain;
            }
            break;
        }
    }
}

} // namespace kv
