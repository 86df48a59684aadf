#pragma once

#include <QString>

#include <functional>
#include <optional>

// confirmByTypingYes: destructive bulk operations go on only when the user types "SI".
namespace ui {

// An input box: the prompt, the title and the default answer; nothing when the user cancels.
using AskText = std::function<std::optional<QString>(const QString &prompt, const QString &title,
                                                     const QString &defaultText)>;

enum class ConfirmationRule {
    Exact,      // "Cancelar todos": any case, but blanks around "SI" make it ask again
    Trimmed,    // "Eliminar todos (enviados)": blanks around "SI" are accepted
};

// Asks (default `firstAnswer`, then the previous answer) until the answer is "SI" under the rule
// or empty; Cancel counts as empty. True when the final answer, trimmed and upper-cased, is "SI".
bool confirmByTypingYes(const AskText &ask, const QString &prompt, const QString &title, ConfirmationRule rule,
                     const QString &firstAnswer = QStringLiteral("NO"));

inline const QString kAbortedMessage = QStringLiteral("Operación anulada correctamente sin cambios");
inline const QString kAbortedTitle = QStringLiteral("Operación abortada");

} // namespace ui
