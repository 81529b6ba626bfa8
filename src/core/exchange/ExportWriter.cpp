#include "exchange/ExportWriter.h"

#include "platform/CheckedSaveFile.h"
#include "platform/Clock.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>
#include <algorithm>
#include <unistd.h>

namespace kv {

namespace {

constexpr int kFileAccessError = 75;

// The marks a template uses for what the export lays in (see KeyvaleTemplate.htm).
const QString kCaptionsMark = QStringLiteral("<!--KEYVALE:CAPTIONS-->");
const QString kRowsMark = QStringLiteral("<!--KEYVALE:ROWS-->");
const QString kDateMark = QStringLiteral("<!--KEYVALE:DATE-->");
const QString kCountMark = QStringLiteral("<!--KEYVALE:COUNT-->");

// Record texts are the user's own: nothing in them may become markup or script in the page.
QString escapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString readTemplate(const QString& templatePath) {
    QFile file(templatePath);
    if (templatePath.isEmpty() || !QFileInfo(templatePath).isFile())
        throw Error(err::FileNotFound, QStringLiteral("File not found"));
    if (!file.open(QIODevice::ReadOnly)) throw Error(kFileAccessError, QStringLiteral("Path/File access error"));
    return QString::fromUtf8(file.readAll());
}

QString headerCells(const QStringList& captions) {
    QString out;
    for (const QString& caption : captions)
        out += QStringLiteral("<th>%1</th>").arg(escapeHtml(caption));
    return out;
}

// A browser may break a line after punctuation, which shows "Pw!x&<y>" as two lines that read like two
// words. Cells that are one short word (passwords, user IDs) carry the class "word", so that the template
// can keep them on one line; longer texts still wrap to fit the page.
bool isOneShortWord(const QString& text) {
    constexpr qsizetype kLongestWord = 40;
    if (text.isEmpty() || text.size() > kLongestWord) return false;
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

QString htmlRow(const QStringList& row) {
    QString out = QLatin1String("<tr>");
    for (const QString& cell : row)
        out += (isOneShortWord(cell) ? QLatin1String("<td class=\"word\">") : QLatin1String("<td>")) + escapeHtml(cell) +
               QLatin1String("</td>");
    out += QLatin1String("</tr>\n");
    return out;
}

QString recordCount(qsizetype n) {
    return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
}

// One line per record, cells separated by a tab, under a line of captions. A tab or line break inside a
// cell would split the record, so each becomes one blank.
QString textLine(const QStringList& cells) {
    // Built in one string, a cell at a time: this runs for every record of an export.
    qsizetype length = cells.size();
    for (const QString& cell : cells)
        length += cell.size();
    QString line;
    line.reserve(length);
    const auto splits = [](QChar c) { return c == u'\t' || c == u'\r' || c == u'\n'; };
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0) line += u'\t';
        const QString& cell = cells[i];
        if (std::none_of(cell.begin(), cell.end(), splits)) {
            line += cell;
            continue;
        }
        for (qsizetype k = 0; k < cell.size(); ++k) {
            // A carriage return with its line feed is one line break, so one blank.
            if (cell[k] == u'\r' && k + 1 < cell.size() && cell[k + 1] == u'\n') ++k;
            line += splits(cell[k]) ? QChar(u' ') : cell[k];
        }
    }
    line += u'\n';
    return line;
}

// A CSV line: a field holding a comma, a quote or a line break is quoted, its quotes doubled.
QString csvLine(const QStringList& cells) {
    QString out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0) out += QLatin1Char(',');
        const QString& cell = cells[i];
        const bool quote = std::any_of(cell.begin(), cell.end(), [](QChar c) {
            return c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
        });
        if (!quote) {
            out += cell;
            continue;
        }
        out += QLatin1Char('"');
        for (const QChar c : cell) {
            if (c == QLatin1Char('"')) out += QLatin1Char('"');
            out += c;
        }
        out += QLatin1Char('"');
    }
    out += QLatin1String("\r\n");
    return out;
}

QString rowText(ExportFormat format, const QStringList& cells) {
    switch (format) {
    case ExportFormat::Html:
        return htmlRow(cells);
    case ExportFormat::Csv:
        return csvLine(cells);
    case ExportFormat::Text:
        break;
    }
    return textLine(cells);
}

Error accessError() {
    return Error(kFileAccessError, QStringLiteral("Path/File access error"));
}

} // namespace

ExportFile::ExportFile(ExportFormat format, const QString& path, const QString& templatePath,
                       const QStringList& captions)
    : format_(format), path_(path), captions_(captions) {
    if (format == ExportFormat::Html) page_ = readTemplate(templatePath);
    const QFileInfo target(path);
    if (!QFileInfo(target.absolutePath()).isDir()) throw Error(err::PathNotFound, QStringLiteral("Path not found"));
    if (target.isDir()) throw accessError();
    // The rows wait beside the export, owner-only like it, and go when the writer does.
    scratch_ = std::make_unique<QTemporaryFile>(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                                                QStringLiteral(".XXXXXX"));
    if (!scratch_->open()) throw accessError();
    // The open file is all the writer needs: with its name gone, nothing of it outlives the program, even
    // when the program does not end normally.
    scratch_->setAutoRemove(false);
    QFile::remove(scratch_->fileName());
}

ExportFile::~ExportFile() = default;

void ExportFile::writePending() {
    writeAll(scratch_->handle(), pending_.constData(), pending_.size());
    pending_.clear();
}

void ExportFile::addRow(qint64 place, const QStringList& cells) {
    const QByteArray bytes = rowText(format_, cells).toUtf8();
    pending_ += bytes;
    if (pending_.size() >= kScratchBlock) writePending();
    if (place >= qint64(rows_.size())) rows_.resize(std::size_t(place) + 1);
    Stored& row = rows_[std::size_t(place)];
    if (row.offset < 0) ++count_;
    row = {scratchEnd_, bytes.size()};
    scratchEnd_ += bytes.size();
}

bool ExportFile::finish(const std::function<bool(qint64)>& progress) {
    QString head, tail;
    if (format_ == ExportFormat::Html) {
        QString page = page_;
        const QString header = headerCells(captions_);
        if (page.contains(kRowsMark)) {
            page.replace(kCaptionsMark, header);
            const qsizetype at = page.indexOf(kRowsMark);
            head = page.left(at);
            tail = page.mid(at + kRowsMark.size());
        } else {
            // A template without the rows mark still gets every record: a plain table before the end of
            // its body (or at its end).
            qsizetype end = page.lastIndexOf(QLatin1String("</body>"), -1, Qt::CaseInsensitive);
            if (end < 0) end = page.size();
            head = page.left(end) + QStringLiteral("<table>\n<thead><tr>") + header +
                   QStringLiteral("</tr></thead>\n<tbody>\n");
            tail = QStringLiteral("</tbody>\n</table>\n") + page.mid(end);
        }
        const QDateTime now = clock().now();
        const QLocale locale;
        const QString date = locale.toString(now.date(), QLocale::LongFormat) + QLatin1Char(' ') +
                             locale.toString(now.time(), QLocale::ShortFormat);
        // The inserted texts are escaped, so no mark can appear inside them and be replaced twice.
        for (QString* part : {&head, &tail}) {
            part->replace(kDateMark, escapeHtml(date));
            part->replace(kCountMark, recordCount(count_));
        }
    } else {
        head = rowText(format_, captions_);
    }

    writePending();
    CheckedSaveFile file(path_);
    file.write(head.toUtf8());
    // Rows that lie one after another in the scratch file (all of them, when they came in order) are copied
    // in large reads.
    constexpr qint64 kReadLimit = 1 << 20;
    constexpr qint64 kProgressEvery = 4096;
    QByteArray buffer;
    std::size_t place = 0;
    while (place < rows_.size()) {
        if (rows_[place].offset < 0) {
            ++place;
            continue;
        }
        const qint64 from = rows_[place].offset;
        qint64 length = 0;
        std::size_t next = place;
        while (next < rows_.size() && rows_[next].offset == from + length && length < kReadLimit &&
               (next == place || next % kProgressEvery != 0))
            length += rows_[next++].length;
        buffer.resize(length);
        // Read past the file's own buffer: rows come from all over the scratch file, and a buffered read
        // would fetch a whole buffer for every row.
        if (::pread(scratch_->handle(), buffer.data(), std::size_t(length), off_t(from)) != length) throw accessError();
        file.write(buffer);
        place = next;
        if (progress && place % kProgressEvery == 0 && !progress(qint64(place))) return false;
    }
    file.write(tail.toUtf8());
    file.commit();
    return true;
}

void writeExport(ExportFormat format, const QString& path, const QString& templatePath, const QStringList& captions,
                 const QList<QStringList>& rows) {
    ExportFile file(format, path, templatePath, captions);
    for (qsizetype i = 0; i < rows.size(); ++i)
        file.addRow(i, rows[i]);
    file.finish();
}

} // namespace kv
