// keyvale_gui
#pragma once

#include "mainwindow/GridOperations.h"

#include <QString>

namespace kv {

// The toolbar's export: the ExportData button writes every row to HTML, with the passwords only when the
// ExportPassword option is on and the user accepts the risk; its drop-down menu writes all, the selected
// or the other rows to HTML or text, never with passwords, and opens the export folder. The Password
// and prior columns are hidden around each export and put back afterwards, failures included.
class ExportFlow {
public:
    explicit ExportFlow(GridOperations& grid);

    // A click on the ExportData button itself.
    void buttonClick();
    // A choice from the button's menu, by its key: HTMLall, HTMLselectedRows, HTMLnonSelectedRows,
    // AsciiAll, AsciiSelectedRows, AsciiNonSelectedRows or GotoExportFolder. Other keys do nothing.
    void menuClick(const QString& key);

    // The program folder's Exports folder, without a trailing "/".
    static QString exportFolder();

private:
    // Runs one export, with the busy pointer and, when it takes a while, a progress dialog whose Cancel
    // leaves no file; when the export folder is missing it creates it and tries once more.
    void exportTo(ExportFormat format, ExportRows rows, const QString& file);

    // Creates the export folder, owner-only; false (after telling the user) when it cannot.
    static bool makeExportFolder();

    GridOperations& grid_;
};

} // namespace kv
