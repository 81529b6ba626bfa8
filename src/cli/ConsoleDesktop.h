#pragma once

#include "platform/Desktop.h"

namespace kv::cli {

// The desktop of a command run in a terminal or a script: the core's messages become one line on standard
// error, every question is answered No (a command never guesses a Yes), nothing is opened or played. The
// clipboard is reached only when the command made a GUI application for it.
class ConsoleDesktop final : public Desktop {
public:
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
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
    void setClipboardText(const QString& text) override;
    void clearClipboardText() override;
    void endApplication() override {}

    // The messages shown so far, for the command to tell whether the core has explained a failure.
    int messageCount() const { return messages_; }

private:
    QString clipboardText_;
    int messages_ = 0;
};

// One line for standard error: line breaks inside a message become blanks.
QString oneLine(const QString& text);

} // namespace kv::cli
