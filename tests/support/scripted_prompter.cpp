#include "support/scripted_prompter.h"

namespace testing {

namespace {

ui::Answer cautiousAnswer(ui::Buttons buttons)
{
    switch (buttons) {
    case ui::Buttons::Ok: return ui::Answer::Ok;
    case ui::Buttons::YesNo: return ui::Answer::No;
    case ui::Buttons::OkCancel:
    case ui::Buttons::YesNoCancel: return ui::Answer::Cancel;
    }
    return ui::Answer::Cancel;
}

const char *kindName(ScriptedPrompter::Kind kind)
{
    switch (kind) {
    case ScriptedPrompter::Kind::Message: return "message";
    case ScriptedPrompter::Kind::Input: return "input";
    case ScriptedPrompter::Kind::OpenFile: return "openFile";
    case ScriptedPrompter::Kind::SaveFile: return "saveFile";
    case ScriptedPrompter::Kind::ChooseFolder: return "chooseFolder";
    }
    return "?";
}

} // namespace

bool offers(ui::Buttons buttons, ui::Answer answer)
{
    switch (buttons) {
    case ui::Buttons::Ok: return answer == ui::Answer::Ok;
    case ui::Buttons::OkCancel: return answer == ui::Answer::Ok || answer == ui::Answer::Cancel;
    case ui::Buttons::YesNo: return answer == ui::Answer::Yes || answer == ui::Answer::No;
    case ui::Buttons::YesNoCancel: return answer != ui::Answer::Ok;
    }
    return false;
}

QList<ScriptedPrompter::Call> ScriptedPrompter::callsOf(Kind kind) const
{
    QList<Call> result;
    for (const Call &call : m_calls) {
        if (call.kind == kind)
            result << call;
    }
    return result;
}

QStringList ScriptedPrompter::messageTexts() const
{
    QStringList texts;
    for (const Call &call : m_calls) {
        if (call.kind == Kind::Message)
            texts << call.text;
    }
    return texts;
}

bool ScriptedPrompter::hasUnexpected() const
{
    for (const Call &call : m_calls) {
        if (call.unexpected)
            return true;
    }
    return false;
}

QByteArray ScriptedPrompter::unexpectedReport() const
{
    QStringList lines;
    for (const Call &call : m_calls) {
        if (call.unexpected) {
            lines << QStringLiteral("%1 \"%2\" (title \"%3\"): %4")
                         .arg(QLatin1String(kindName(call.kind)), call.text, call.title, call.problem);
        }
    }
    return lines.join(QLatin1Char('\n')).toUtf8();
}

int ScriptedPrompter::unusedAnswers() const
{
    return int(m_messages.size() + m_inputs.size() + m_openFiles.size() + m_saveFiles.size()
               + m_folders.size());
}

void ScriptedPrompter::clear()
{
    m_messages.clear();
    m_inputs.clear();
    m_openFiles.clear();
    m_saveFiles.clear();
    m_folders.clear();
    m_calls.clear();
}

void ScriptedPrompter::record(Call call)
{
    m_calls << call;
    if (m_onCall)
        m_onCall(m_calls.constLast());
}

ui::Answer ScriptedPrompter::message(const QString &text, const QString &title, ui::Icon icon,
                                     ui::Buttons buttons)
{
    Call call{Kind::Message, text, title, icon, buttons, {}, {}, false, {}};
    ui::Answer answer = cautiousAnswer(buttons);
    if (m_messages.isEmpty()) {
        call.unexpected = true;
        call.problem = QStringLiteral("no scripted answer");
    } else {
        const ui::Answer scripted = m_messages.dequeue();
        if (offers(buttons, scripted)) {
            answer = scripted;
        } else {
            call.unexpected = true;
            call.problem = QStringLiteral("scripted answer not offered by the box's buttons");
        }
    }
    record(call);
    return answer;
}

std::optional<QString> ScriptedPrompter::takePath(QQueue<std::optional<QString>> &queue, Call call)
{
    std::optional<QString> answer;
    if (queue.isEmpty()) {
        call.unexpected = true;
        call.problem = QStringLiteral("no scripted answer");
    } else {
        answer = queue.dequeue();
    }
    record(call);
    return answer;
}

std::optional<QString> ScriptedPrompter::input(const QString &prompt, const QString &title,
                                               const QString &defaultText)
{
    return takePath(m_inputs, Call{Kind::Input, prompt, title, ui::Icon::None, ui::Buttons::OkCancel,
                                   defaultText, {}, false, {}});
}

std::optional<QString> ScriptedPrompter::openFile(const QString &title, const QString &folder,
                                                  const QString &filter)
{
    return takePath(m_openFiles, Call{Kind::OpenFile, {}, title, ui::Icon::None, ui::Buttons::OkCancel,
                                      folder, filter, false, {}});
}

std::optional<QString> ScriptedPrompter::saveFile(const QString &title, const QString &suggestedPath,
                                                  const QString &filter)
{
    return takePath(m_saveFiles, Call{Kind::SaveFile, {}, title, ui::Icon::None, ui::Buttons::OkCancel,
                                      suggestedPath, filter, false, {}});
}

std::optional<QString> ScriptedPrompter::chooseFolder(const QString &title, const QString &folder)
{
    return takePath(m_folders, Call{Kind::ChooseFolder, {}, title, ui::Icon::None,
                                    ui::Buttons::OkCancel, folder, {}, false, {}});
}

} // namespace testing
