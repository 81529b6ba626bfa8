#include "access/ProfileFile.h"

#include "platform/CheckedSaveFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace kv {

namespace {

QStringList readLines(const QString& file, bool* found = nullptr) {
    QFile in(file);
    const bool opened = in.open(QIODevice::ReadOnly);
    if (found) *found = opened;
    if (!opened) return {};
    QString text = QString::fromUtf8(in.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// The section a header line opens, or a null string for any other line.
QString sectionOf(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']'))) return {};
    return t.mid(1, t.size() - 2).trimmed();
}

// The key of a "Key=Value" line, or a null string.
QString keyOf(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString readProfileString(const QString& file, const QString& section, const QString& key) {
    bool inSection = false;
    for (const QString& line : readLines(file)) {
        const QString header = sectionOf(line);
        if (!header.isNull()) {
            inSection = sameName(header, section);
            continue;
        }
        if (!inSection || !sameName(keyOf(line), key)) continue;
        QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
        if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value.isNull() ? QStringLiteral("") : value;
    }
    return {};
}

bool writeProfileString(const QString& file, const QString& section, const QString& key, const QString& value) {
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) return false;
    // A file that is there but cannot be read would lose the user's other lines.
    bool found = false;
    QStringList lines = readLines(file, &found);
    if (!found && QFileInfo::exists(file)) return false;
    const QString entry = key + QLatin1Char('=') + value;

    qsizetype sectionStart = -1;
    qsizetype insertAt = -1; // after the section's last line that is not blank
    bool written = false;
    for (qsizetype i = 0; i < lines.size() && !written; ++i) {
        const QString header = sectionOf(lines[i]);
        if (!header.isNull()) {
            if (sectionStart >= 0) break; // the next section: the key was not in ours
            if (sameName(header, section)) sectionStart = insertAt = i;
            continue;
        }
        if (sectionStart < 0) continue;
        if (sameName(keyOf(lines[i]), key)) {
            lines[i] = entry;
            written = true;
        } else if (!lines[i].trimmed().isEmpty()) {
            insertAt = i;
        }
    }
    if (!written) {
        if (sectionStart >= 0) {
            lines.insert(insertAt + 1, entry);
        } else {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines.append(QString());
            lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
            lines.append(entry);
        }
    }

    try {
        CheckedSaveFile out(file);
        out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        out.commit();
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace kv
