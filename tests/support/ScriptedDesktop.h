#pragma once

#include "platform/Desktop.h"

#include <QList>
#include <QStringList>
#include <deque>

namespace kv::test {

// One recorded call of the desktop seam.
struct Prompt {
    enum class Kind { Message, Input, Folder } kind = Kind::Message;
    QString text;  // message text or input prompt
    QString title; // as passed; empty means "Keyvale"
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    bool masked = false; // an input box whose characters show as "*"
    bool defaultNo = false; // a question whose Enter key answers No
};

// The desktop of the tests: records every call and answers prompts from a queue. A prompt with no
// queued answer fails the running test at once (it answers Cancel/No so the code under test returns).
class ScriptedDesktop final : public Desktop {
public:
    // A queued answer: a button, or the text of an input or folder box (cancelled when absent).
    struct Reply {
        bool isButton = false;
        Answer button = Answer::Ok;
        bool cancelled = false;
        QString text;
    };

    ScriptedDesktop();
    ~ScriptedDesktop() override;

    // Queue answers for the next prompts, in order.
    void answer(Answer a) { replies_.push_back({true, a, false, {}}); }
    void answerInput(const std::optional<QString>& text) {
        replies_.push_back({false, Answer::Ok, !text.has_value(), text.value_or(QString())});
    }
    void answerFolder(const QString& folder) { answerInput(folder); }

    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    Answer askDefaultNo(const QString& text, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText,
                                 Echo echo) override;
    QString browseForFolder(QObject* owner, const QString& initialFolder, const QString& title) override;
    // Answered, like a folder box, from answerInput / answerFolder.
    QString chooseFile(QObject* owner, const QString& initialFolder, const QString& title,
                       const QString& filter) override;
    bool openUrl(const QString& url) override;
    bool openFolder(const QString& folder) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;
    void playSound(const QString& file, bool wait) override;
    void playTune(const QString& file) override;
    void stopTune() override;
    void beep() override { ++beeps; }
    void setClipboardText(const QString& text) override { clipboard = ownClipboardText_ = text; }
    void clearClipboardText() override {
        if (!ownClipboardText_.isEmpty() && clipboard == ownClipboardText_) clipboard.clear();
        ownClipboardText_.clear();
    }
    void endApplication() override { ++ended; }

    // Everything that was asked, in order.
    QList<Prompt> prompts;
    // Texts of the message boxes only, in order.
    QStringList messages() const;
    // The last prompt; fails the test when there was none.
    Prompt last() const;
    bool queueEmpty() const { return replies_.empty(); }
    void clear();

    QStringList openedUrls, openedFolders, sounds, tunes;
    QList<QStringList> started;
    bool startSucceeds = true; // what startDetached answers
    QString clipboard;
    int beeps = 0;
    int ended = 0;
    int tuneStops = 0;

private:
    std::optional<QString> nextText(const QString& what); // the queued text answer, failing when there is none
    std::deque<Reply> replies_;
    QString ownClipboardText_;
};

} // namespace kv::test
