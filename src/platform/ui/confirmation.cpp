#include "platform/ui/confirmation.h"

namespace ui {

namespace {

bool isYes(const QString &answer)
{
    return answer.toUpper() == QLatin1String("SI");
}

} // namespace

bool confirmByTypingYes(const AskText &ask, const QString &prompt, const QString &title, ConfirmationRule rule,
                     const QString &firstAnswer)
{
    QString answer = firstAnswer;
    const auto accepted = [rule](const QString &a) { return isYes(rule == ConfirmationRule::Trimmed ? a.trimmed() : a); };
    while (!answer.isEmpty() && !accepted(answer)) {
        if (!ask)
            return false;
        answer = ask(prompt, title, answer).value_or(QString());
    }
    return isYes(answer.trimmed());
}

} // namespace ui
