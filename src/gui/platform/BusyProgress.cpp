#include "platform/BusyProgress.h"

#include "platform/Clock.h"

#include <QApplication>
#include <QProgressDialog>

namespace kv {

namespace {
// How often the windows get to repaint while the work runs.
constexpr qint64 kEventsEveryMs = 50;
} // namespace

BusyPointer::BusyPointer(bool showAtOnce, const QCursor& pointer) {
    QApplication::setOverrideCursor(pointer);
    if (showAtOnce) QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

BusyPointer::~BusyPointer() {
    QApplication::restoreOverrideCursor();
}

BusyProgress::BusyProgress(QWidget* owner, const QString& label, qint64 total, const QCursor& pointer)
    : pointer_(true, pointer), owner_(owner), label_(label), total_(total), started_(clock().tickCount()),
      lastEvents_(started_) {}

BusyProgress::~BusyProgress() {
    delete dialog_.data();
}

void BusyProgress::setTotal(qint64 total) {
    total_ = total;
    if (dialog_) dialog_->setMaximum(int(qMin<qint64>(total_, INT_MAX)));
}

bool BusyProgress::step(qint64 done) {
    if (canceled_) return false;
    const qint64 now = clock().tickCount();
    if (now - lastEvents_ < kEventsEveryMs) return true;
    lastEvents_ = now;
    if (!dialog_ && now - started_ >= kShowAfterMs) {
        dialog_ = new QProgressDialog(label_, QStringLiteral("Cancel"), 0, int(qMin<qint64>(total_, INT_MAX)), owner_);
        dialog_->setObjectName(QStringLiteral("BusyProgress"));
        dialog_->setWindowTitle(QStringLiteral("Keyvale"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->show();
    }
    if (dialog_) {
        if (total_ > 0) dialog_->setValue(int(qMin<qint64>(done, INT_MAX)));
        dialog_->setLabelText(total_ > 0 ? QStringLiteral("%1\n%2 of %3").arg(label_).arg(done).arg(total_)
                                         : QStringLiteral("%1\n%2").arg(label_).arg(done));
        // The dialog is modal: only it takes input while it is up.
        QApplication::processEvents();
        if (dialog_ && dialog_->wasCanceled()) canceled_ = true;
    } else {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return !canceled_;
}

} // namespace kv
