#pragma once

#include "platform/Desktop.h"

#include <memory>

class QSoundEffect;
class QMediaPlayer;
class QAudioOutput;

namespace kv {

// The desktop of the running program: Qt message boxes, dialogs, QDesktopServices, Qt Multimedia.
class QtDesktop final : public Desktop {
public:
    QtDesktop();
    ~QtDesktop() override;

    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    Answer askDefaultNo(const QString& text, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText,
                                 Echo echo) override;
    QString browseForFolder(QObject* owner, const QString& initialFolder, const QString& title) override;
    QString chooseFile(QObject* owner, const QString& initialFolder, const QString& title,
                       const QString& filter) override;
    bool openUrl(const QString& url) override;
    bool openFolder(const QString& folder) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;
    void playSound(const QString& file, bool wait) override;
    void playTune(const QString& file) override;
    void stopTune() override;
    void beep() override;
    void setClipboardText(const QString& text) override;
    void clearClipboardText() override;
    void endApplication() override;
    // What every end of the program does before the process goes: the clipboard is cleared of the
    // program's text and the data folder's lock is let go (a restart takes it at once).
    void leaveCleanly();

private:
    Answer showMessage(const QString& text, const QString& title, Buttons buttons, Icon icon, bool defaultNo);
    std::unique_ptr<QSoundEffect> effect_;
    std::unique_ptr<QAudioOutput> tuneOutput_;
    std::unique_ptr<QMediaPlayer> tune_;
    QString clipboardText_; // what this program last put on the clipboard
};

} // namespace kv
