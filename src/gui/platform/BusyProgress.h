#pragma once

#include <QCursor>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <functional>

class QWidget;

namespace kv {

// The busy pointer for as long as it lives, for work too short for a progress dialog (a window that loads, a
// log-on that derives a key). With `showAtOnce` the windows get to repaint first (user input waits), so that
// the pointer is up before work that blocks.
class BusyPointer {
public:
    explicit BusyPointer(bool showAtOnce = false, const QCursor& pointer = QCursor(Qt::WaitCursor));
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// Feedback for work that walks many records (find, export, backup, imports): the busy pointer at once and,
// when the work is still going after a second, a progress dialog with a count and Cancel. Call step() as
// the work goes on; it lets the windows repaint now and then and tells when the user has cancelled.
// Before the dialog is up, user input waits, so nothing else can start while the work runs.
class BusyProgress {
public:
    static constexpr qint64 kShowAfterMs = 1000;

    // `total` is the count the work will reach (0 when unknown). `label` is shown above the bar, e.g.
    // "Exporting records...".
    BusyProgress(QWidget* owner, const QString& label, qint64 total, const QCursor& pointer = QCursor(Qt::WaitCursor));
    ~BusyProgress();
    BusyProgress(const BusyProgress&) = delete;
    BusyProgress& operator=(const BusyProgress&) = delete;

    // `done` of `total` are done. False once the user has cancelled; the caller then stops and undoes.
    bool step(qint64 done);
    bool wasCanceled() const { return canceled_; }
    // For work that learns its count only once it has started.
    void setTotal(qint64 total);
    // step() as a callback for code without windows (keyvale_core takes std::function<bool(qint64)>).
    std::function<bool(qint64)> callback() {
        return [this](qint64 done) { return step(done); };
    }
    // The dialog once it is shown (null before), so tests can press Cancel.
    QProgressDialog* dialog() const { return dialog_; }

private:
    BusyPointer pointer_; // first in, last out: the pointer outlasts the dialog
    QPointer<QWidget> owner_;
    QString label_;
    qint64 total_ = 0;
    qint64 started_ = 0;
    qint64 lastEvents_ = 0;
    bool canceled_ = false;
    QPointer<QProgressDialog> dialog_;
};

} // namespace kv
