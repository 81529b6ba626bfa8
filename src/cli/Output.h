#pragma once

#include <QJsonDocument>
#include <QString>
#include <QStringList>

namespace kv::cli {

// Plain output is one record a line, fields separated by tabs: a tab, line break or backslash inside a
// value is written as \t, \n, \r or \\ so that every line stays one record.
QString escapeField(const QString& value);
void printLine(const QStringList& fields);
void printText(const QString& text);
void printJson(const QJsonDocument& document);

} // namespace kv::cli
