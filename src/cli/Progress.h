#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace kv::cli {

// How far a long command has got, on standard error and only when that is a terminal: a pipe or a log file
// gets nothing. The line is rewritten in place as the percentage grows and wiped when the work ends.
class Progress {
public:
    // `total` is the amount `step` counts up to (bytes, records); 0 shows nothing.
    Progress(const QString& label, qint64 total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void step(qint64 done);
    // For the copies and imports, which ask whether to go on: always yes.
    std::function<bool(qint64)> callback() {
        return [this](qint64 done) {
            step(done);
            return true;
        };
    }
    // For the conversions, which tell their total as they go (done, total): always yes.
    std::function<bool(qint64, qint64)> partsCallback() {
        return [this](qint64 done, qint64 total) {
            if (onTerminal_) total_ = total;
            step(done);
            return true;
        };
    }

private:
    QByteArray label_;
    bool onTerminal_;
    qint64 total_;
    int shownPercent_ = -1;
};

} // namespace kv::cli
