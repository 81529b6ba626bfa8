#pragma once

#include "platform/Desktop.h"

namespace kv {

// A desktop with nobody at it, for programs without windows (the command-line tool, the benchmark): nothing
// is asked, opened, played or put on the clipboard. Each program decides what becomes of a message.
class QuietDesktop : public Desktop {
public:
    std::optional<QString> input(const QString&, const QString&, const QString&, Echo) override {
        return std::nullopt;
    }
    QString browseForFolder(QObject*, const QString&, const QString&) override { return {}; }
    bool openUrl(const QString&) override { return false; }
    bool openFolder(const QString&) override { return false; }
    bool startDetached(const QString&, const QStringList&) override { return false; }
    void playSound(const QString&, bool) override {}
    void playTune(const QString&) override {}
    void stopTune() override {}
    void beep() override {}
    void setClipboardText(const QString&) override {}
    void clearClipboardText() override {}
    void endApplication() override {}
};

} // namespace kv
