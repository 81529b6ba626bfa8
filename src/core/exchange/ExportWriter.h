#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QTemporaryFile;

namespace kv {

// Export codes of the grid's export operation.
enum class ExportFormat { Text = 0, Html = 1, Csv = 2 };
enum class ExportRows { Selected = 2, NotSelected = 4, All = 7 };

// Writes an export of grid rows (the texts of the visible columns, in display order, under their captions)
// as HTML laid into a template, as text, or as CSV (UTF-8, fields quoted where they need it, CRLF), one row at a time, so that memory does not grow with the
// number of rows. Rows may come in any order, each with its place in the file: they wait in an owner-only
// scratch file beside the export until finish() writes them out in order. The file at `path` is replaced
// whole, owner-only, only when finish() succeeds (through a CheckedSaveFile, so a full disk is an error
// and never a short file); a failure, a cancel or a writer dropped before then leaves whatever was at
// `path` as it was.
class ExportFile {
public:
    // Throws kv::Error 53 when the template is missing and 76 when the folder of `path` is missing.
    ExportFile(ExportFormat format, const QString& path, const QString& templatePath, const QStringList& captions);
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // The row that goes `place`-th into the file (from 0).
    void addRow(qint64 place, const QStringList& cells);
    // Writes the rows in order and puts the file in place. `progress(done)` is told how many rows are
    // written and cancels the export by answering false. False when cancelled; throws kv::Error on failure.
    bool finish(const std::function<bool(qint64)>& progress = {});

private:
    // Rows go to the scratch file in blocks of about this size.
    static constexpr qsizetype kScratchBlock = 1 << 20;
    void writePending();

    struct Stored {
        qint64 offset = -1;
        qint64 length = 0;
    };

    ExportFormat format_;
    QString path_;
    QString page_; // the template, for HTML
    QStringList captions_;
    std::unique_ptr<QTemporaryFile> scratch_;
    QByteArray pending_; // rows not yet in the scratch file
    std::vector<Stored> rows_;
    qint64 count_ = 0;
    qint64 scratchEnd_ = 0;
};

// The whole export in one call, rows in order.
void writeExport(ExportFormat format, const QString& path, const QString& templatePath, const QStringList& captions,
                 const QList<QStringList>& rows);

} // namespace kv
