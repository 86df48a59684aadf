#pragma once

#include "platform/ui/prompter.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <functional>
#include <optional>

// A Prompter that answers from a script. Every call is recorded; a call with no scripted answer
// (or with an answer the box could not give) gets the cautious answer - OK on an OK-only box,
// otherwise Cancel / No / nothing - and is flagged, so a test can fail on boxes it did not expect.
namespace testing {

class ScriptedPrompter final : public ui::Prompter {
public:
    enum class Kind { Message, Input, OpenFile, SaveFile, ChooseFolder };

    struct Call {
        Kind kind = Kind::Message;
        QString text;       // message text, input prompt; empty for file pickers
        QString title;
        ui::Icon icon = ui::Icon::None;
        ui::Buttons buttons = ui::Buttons::Ok;
        QString defaultText; // input default, or the picker's folder / suggested path
        QString filter;
        bool unexpected = false;
        QString problem;     // why it was flagged
    };

    ScriptedPrompter() = default;
    ScriptedPrompter(const ScriptedPrompter &) = delete;
    ScriptedPrompter &operator=(const ScriptedPrompter &) = delete;

    // Scripting, consumed in order per kind.
    void answerMessage(ui::Answer answer) { m_messages.enqueue(answer); }
    void answerInput(std::optional<QString> answer) { m_inputs.enqueue(std::move(answer)); }
    void answerOpenFile(std::optional<QString> path) { m_openFiles.enqueue(std::move(path)); }
    void answerSaveFile(std::optional<QString> path) { m_saveFiles.enqueue(std::move(path)); }
    void answerFolder(std::optional<QString> path) { m_folders.enqueue(std::move(path)); }

    // Runs while the box is "up": lets a test look at the state the caller left before asking.
    void setOnCall(std::function<void(const Call &)> hook) { m_onCall = std::move(hook); }

    const QList<Call> &calls() const { return m_calls; }
    QList<Call> callsOf(Kind kind) const;
    QStringList messageTexts() const;
    const Call &lastCall() const { return m_calls.constLast(); }
    int count() const { return int(m_calls.size()); }

    bool hasUnexpected() const;
    // A readable list of the flagged calls, for QVERIFY2.
    QByteArray unexpectedReport() const;
    // Scripted answers no call has used yet.
    int unusedAnswers() const;

    void clear();

    ui::Answer message(const QString &text, const QString &title = {}, ui::Icon icon = ui::Icon::None,
                       ui::Buttons buttons = ui::Buttons::Ok) override;
    std::optional<QString> input(const QString &prompt, const QString &title = {},
                                 const QString &defaultText = {}) override;
    std::optional<QString> openFile(const QString &title, const QString &folder,
                                    const QString &filter) override;
    std::optional<QString> saveFile(const QString &title, const QString &suggestedPath,
                                    const QString &filter) override;
    std::optional<QString> chooseFolder(const QString &title, const QString &folder) override;

private:
    std::optional<QString> takePath(QQueue<std::optional<QString>> &queue, Call call);
    void record(Call call);

    QQueue<ui::Answer> m_messages;
    QQueue<std::optional<QString>> m_inputs;
    QQueue<std::optional<QString>> m_openFiles;
    QQueue<std::optional<QString>> m_saveFiles;
    QQueue<std::optional<QString>> m_folders;
    QList<Call> m_calls;
    std::function<void(const Call &)> m_onCall;
};

// Whether a box with these buttons can give that answer.
bool offers(ui::Buttons buttons, ui::Answer answer);

} // namespace testing
