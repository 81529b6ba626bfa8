#include "support/ScriptedDesktop.h"

#include <QTest>

namespace kv::test {

namespace {
void failUnexpected(const QString& what) {
    QTest::qFail(qPrintable(QStringLiteral("unexpected prompt with no scripted answer: ") + what), __FILE__,
                 __LINE__);
}
} // namespace

ScriptedDesktop::ScriptedDesktop() { setDesktop(this); }

ScriptedDesktop::~ScriptedDesktop() { setDesktop(nullptr); }

Answer ScriptedDesktop::message(const QString& text, const QString& title, Buttons buttons, Icon icon) {
    prompts.append({Prompt::Kind::Message, text, title, buttons, icon});
    if (buttons == Buttons::Ok) {
        // An OK box needs no answer, but one may be queued for symmetry.
        if (!replies_.empty() && replies_.front().isButton && replies_.front().button == Answer::Ok)
            replies_.pop_front();
        return Answer::Ok;
    }
    if (replies_.empty() || !replies_.front().isButton) {
        failUnexpected(text);
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    const Answer a = replies_.front().button;
    replies_.pop_front();
    return a;
}

Answer ScriptedDesktop::askDefaultNo(const QString& text, const QString& title) {
    const Answer a = message(text, title, Buttons::YesNo, Icon::Question);
    prompts.last().defaultNo = true;
    return a;
}

std::optional<QString> ScriptedDesktop::input(const QString& prompt, const QString& title, const QString&,
                                              Echo echo) {
    prompts.append({Prompt::Kind::Input, prompt, title, Buttons::Ok, Icon::None, echo == Echo::Masked});
    return nextText(prompt);
}

QString ScriptedDesktop::browseForFolder(QObject*, const QString&, const QString& title) {
    prompts.append({Prompt::Kind::Folder, title, title, Buttons::Ok, Icon::None});
    return nextText(title).value_or(QString());
}

QString ScriptedDesktop::chooseFile(QObject*, const QString&, const QString& title, const QString&) {
    prompts.append({Prompt::Kind::Folder, title, title, Buttons::Ok, Icon::None});
    return nextText(title).value_or(QString());
}

std::optional<QString> ScriptedDesktop::nextText(const QString& what) {
    if (replies_.empty() || replies_.front().isButton) {
        failUnexpected(what);
        return std::nullopt;
    }
    const Reply r = replies_.front();
    replies_.pop_front();
    return r.cancelled ? std::nullopt : std::optional(r.text);
}

bool ScriptedDesktop::openUrl(const QString& url) {
    openedUrls.append(url);
    return true;
}

bool ScriptedDesktop::openFolder(const QString& folder) {
    openedFolders.append(folder);
    return true;
}

bool ScriptedDesktop::startDetached(const QString& program, const QStringList& arguments) {
    started.append(QStringList{program} + arguments);
    return startSucceeds;
}

void ScriptedDesktop::playSound(const QString& file, bool wait) {
    sounds.append(file + (wait ? QStringLiteral(" (wait)") : QString()));
}

void ScriptedDesktop::playTune(const QString& file) { tunes.append(file); }

void ScriptedDesktop::stopTune() { ++tuneStops; }

QStringList ScriptedDesktop::messages() const {
    QStringList out;
    for (const Prompt& p : prompts)
        if (p.kind == Prompt::Kind::Message) out.append(p.text);
    return out;
}

Prompt ScriptedDesktop::last() const {
    if (prompts.isEmpty()) {
        QTest::qFail("expected a prompt, there was none", __FILE__, __LINE__);
        return {};
    }
    return prompts.last();
}

void ScriptedDesktop::clear() {
    prompts.clear();
    replies_.clear();
    openedUrls.clear();
    openedFolders.clear();
    sounds.clear();
    tunes.clear();
    started.clear();
    clipboard.clear();
    ownClipboardText_.clear();
    beeps = ended = tuneStops = 0;
}

} // namespace kv::test
