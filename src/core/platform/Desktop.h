#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace kv {

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Icon { None, Information, Question, Exclamation, Critical };
enum class Answer { Ok, Yes, No, Cancel };

// Everything the program asks of the desktop around it: message and input boxes, the folder picker,
// the browser and file manager, sound, the clipboard and the end of the process. The program installs
// the Qt implementation; tests install a scripted one that records each call and answers from a queue.
class Desktop {
public:
    virtual ~Desktop() = default;

    // An empty title means the application's title, "Keyvale".
    virtual Answer message(const QString& text, const QString& title = {}, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::None) = 0;
    // A Yes/No question whose default answer (Enter) is No: for questions where Yes replaces data.
    virtual Answer askDefaultNo(const QString& text, const QString& title = {}) {
        return message(text, title, Buttons::YesNo, Icon::Question);
    }
    enum class Echo { Plain, Masked };
    // nullopt when the user cancels. A password is typed with Echo::Masked: its characters show as "*".
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& defaultText = {}, Echo echo = Echo::Plain) = 0;
    // The empty string when the user cancels. `owner` is the window the picker belongs to (may be null).
    virtual QString browseForFolder(QObject* owner, const QString& initialFolder, const QString& title) = 0;
    // A file to open, from the folder `initialFolder`, offering the files `filter` names ("CSV files
    // (*.csv)"); the empty string when the user cancels.
    virtual QString chooseFile(QObject* owner, const QString& initialFolder, const QString& title,
                               const QString& filter) {
        Q_UNUSED(owner) Q_UNUSED(initialFolder) Q_UNUSED(title) Q_UNUSED(filter)
        return {};
    }

    virtual bool openUrl(const QString& url) = 0;
    virtual bool openFolder(const QString& folder) = 0;
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // Plays a WAV file; with `wait` it returns when the sound has ended. A missing file or sound device
    // is silent.
    virtual void playSound(const QString& file, bool wait) = 0;
    // Plays a longer tune in the background until stopTune; best effort.
    virtual void playTune(const QString& file) = 0;
    virtual void stopTune() = 0;
    virtual void beep() = 0;
    // Puts text on the clipboard, marked as secret so that clipboard managers do not keep it.
    virtual void setClipboardText(const QString& text) = 0;
    // Clears the clipboard, but only while it still holds the text this program put there: what the user
    // copied since is left alone.
    virtual void clearClipboardText() = 0;
    // Ends the process at once. The scripted desktop only records the call, so code that calls it must
    // return straight afterwards.
    virtual void endApplication() = 0;
};

Desktop& desktop();
// Installs the desktop the program talks to; the caller keeps ownership.
void setDesktop(Desktop* desktop);

inline const QString kAppTitle = QStringLiteral("Keyvale");

} // namespace kv
