#pragma once

#include "grid/GridOperations.h"

#include <QString>
#include <functional>

namespace kv {

// The toolbar's export: the ExportData button writes every row to HTML, with the passwords only when the
// ExportPassword option is on and the user accepts the risk; its drop-down menu writes all, the selected
// or the other rows to HTML or text, never with passwords, or to CSV for other programs, with the passwords
// under the same rule as the button, and opens the export folder. The Password
// and prior columns are hidden around each export and put back afterwards, failures included.
class ExportFlow {
public:
    explicit ExportFlow(GridOperations& grid);

    // A click on the ExportData button itself.
    void buttonClick();
    // A choice from the button's menu, by its key: HTMLall, HTMLselectedRows, HTMLnonSelectedRows,
    // AsciiAll, AsciiSelectedRows, AsciiNonSelectedRows, CSVall, CSVselectedRows, CSVnonSelectedRows or
    // GotoExportFolder. Other keys do nothing.
    void menuClick(const QString& key);

    // The program folder's Exports folder, without a trailing "/".
    static QString exportFolder();

private:
    // Runs one export, with the busy pointer and, when it takes a while, a progress dialog whose Cancel
    // leaves no file; when the export folder is missing it creates it and tries once more.
    void exportTo(ExportFormat format, ExportRows rows, const QString& file);
    // Writes the records as CSV, with the columns other programs read, whatever the grid shows.
    void exportCsv(ExportRows rows, const QString& file);
    // Runs `write(path, progress)` for the file in the export folder, as exportTo describes.
    void writeExportFile(const QString& file, const std::function<bool(const QString&, const std::function<bool(qint64)>&)>& write);
    // The password question of the button; true when the passwords go into the file.
    static bool includePasswords();

    // Creates the export folder, owner-only; false (after telling the user) when it cannot.
    static bool makeExportFolder();

    GridOperations& grid_;
};

} // namespace kv
