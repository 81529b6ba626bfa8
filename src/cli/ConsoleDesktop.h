#pragma once

#include "platform/QuietDesktop.h"

namespace kv::cli {

// The desktop of a command run in a terminal or a script: the core's messages become one line on standard
// error, every question is answered No (a command never guesses a Yes), nothing is opened or played. The
// clipboard is reached only when the command made a GUI application for it.
class ConsoleDesktop final : public QuietDesktop {
public:
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    void setClipboardText(const QString& text) override;
    void clearClipboardText() override;

    // The messages shown so far, for the command to tell whether the core has explained a failure.
    int messageCount() const { return messages_; }

private:
    QString clipboardText_;
    int messages_ = 0;
};

// One line for standard error: line breaks inside a message become blanks.
QString oneLine(const QString& text);

} // namespace kv::cli
