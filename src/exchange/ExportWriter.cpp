#include "exchange/ExportWriter.h"

#include "platform/Clock.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>

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

QString bodyRows(const QList<QStringList>& rows) {
    QString out;
    for (const QStringList& row : rows) {
        out += QLatin1String("<tr>");
        for (const QString& cell : row)
            out += (isOneShortWord(cell) ? QLatin1String("<td class=\"word\">") : QLatin1String("<td>")) +
                   escapeHtml(cell) + QLatin1String("</td>");
        out += QLatin1String("</tr>\n");
    }
    return out;
}

QString recordCount(qsizetype n) {
    return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
}

QString htmlPage(const QString& templatePath, const QStringList& captions, const QList<QStringList>& rows) {
    QString page = readTemplate(templatePath);
    const QString header = headerCells(captions);
    const QString body = bodyRows(rows);
    if (page.contains(kRowsMark)) {
        page.replace(kCaptionsMark, header);
        page.replace(kRowsMark, body);
    } else {
        // A template without the rows mark still gets every record: a plain table before the end of
        // its body (or at its end).
        const QString table =
            QStringLiteral("<table>\n<thead><tr>%1</tr></thead>\n<tbody>\n%2</tbody>\n</table>\n").arg(header, body);
        const qsizetype end = page.lastIndexOf(QLatin1String("</body>"), -1, Qt::CaseInsensitive);
        page.insert(end < 0 ? page.size() : end, table);
    }
    const QDateTime now = clock().now();
    const QLocale locale;
    const QString date = locale.toString(now.date(), QLocale::LongFormat) + QLatin1Char(' ') +
                         locale.toString(now.time(), QLocale::ShortFormat);
    // The inserted texts are escaped, so no mark can appear inside them and be replaced twice.
    page.replace(kDateMark, escapeHtml(date));
    page.replace(kCountMark, recordCount(rows.size()));
    return page;
}

// One line per record, cells separated by a tab, under a line of captions. A tab or line break inside a
// cell would split the record, so each becomes one blank.
QString textLine(const QStringList& cells) {
    QStringList clean;
    clean.reserve(cells.size());
    for (QString cell : cells) {
        cell.replace(QLatin1String("\r\n"), QLatin1String(" "));
        for (QChar& c : cell)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) c = QLatin1Char(' ');
        clean.append(cell);
    }
    return clean.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

QString textFile(const QStringList& captions, const QList<QStringList>& rows) {
    QString out = textLine(captions);
    for (const QStringList& row : rows)
        out += textLine(row);
    return out;
}

// Writes the whole file beside its final name and renames it into place, owner-only: a failure leaves
// the previous export as it was, and no other user can read the passwords in it.
void saveFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo target(path);
    if (!QFileInfo(target.absolutePath()).isDir()) throw Error(err::PathNotFound, QStringLiteral("Path not found"));
    QSaveFile file(path);
    if (target.isDir() || !file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || file.write(bytes) != bytes.size() ||
        !file.commit())
        throw Error(kFileAccessError, QStringLiteral("Path/File access error"));
}

} // namespace

void writeExport(ExportFormat format, const QString& path, const QString& templatePath, const QStringList& captions,
                 const QList<QStringList>& rows) {
    const QString contents =
        format == ExportFormat::Html ? htmlPage(templatePath, captions, rows) : textFile(captions, rows);
    saveFile(path, contents.toUtf8());
}

} // namespace kv
