#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kv {

// Export codes of the grid's export operation.
enum class ExportFormat { Text = 0, Html = 1 };
enum class ExportRows { Selected = 2, NotSelected = 4, All = 7 };

// Writes rows of the grid (the texts of the visible columns, in display order, under their captions) to
// `path`, as HTML laid into the template at `templatePath` or as text. Throws kv::Error 53 when the
// template is missing and 76 when the folder of `path` is missing. The file is written owner-only and
// replaced whole: a failed export leaves whatever was at `path` as it was.
void writeExport(ExportFormat format, const QString& path, const QString& templatePath, const QStringList& captions,
                 const QList<QStringList>& rows);

} // namespace kv
