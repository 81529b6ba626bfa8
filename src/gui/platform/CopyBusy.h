#pragma once

#include "exchange/FileCopy.h"
#include "platform/BusyProgress.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace kv {

// The busy pointer while a file is copied and, past a second, a progress dialog counting its kilobytes (a
// byte count would overflow the dialog's bar for files past 2 GB).
class CopyBusy {
public:
    CopyBusy(QWidget* owner, const QString& label, const QString& file)
        : busy_(owner, label, QFileInfo(file).size() / 1024) {}
    CopyProgress progress() {
        return [this](qint64 bytes) { return busy_.step(bytes / 1024); };
    }

private:
    BusyProgress busy_;
};

} // namespace kv
