#pragma once

#include "platform/text/node_key.h"

#include <QString>

#include <optional>

// The rules of a template that need no window: the limits of its name and text, how its text is
// counted, the tree keys that lead back to its row, and the sample text of a new editor.
namespace sending {

// Only what fits in one SMS part may be kept as a template.
inline constexpr qsizetype kMaxTemplateMessageLength = 160;
// The width of the `nombre` column.
inline constexpr qsizetype kMaxTemplateNameLength = 255;

// Keys of the template trees: a prefix, a blank and the row's sid; "l0" for the empty list.
inline constexpr auto kTemplateKeyPrefix = "pPlantilla ";
inline constexpr auto kMessageKeyPrefix = "pMensaje ";
inline constexpr auto kEmptyListKey = text::kEmptyListKey;

QString templateKey(qint64 sid);
QString messageKey(qint64 sid);
// The sid a key leads to (the text after its last blank); nothing for "l0" or a key without a
// number there.
std::optional<qint64> sidFromKey(const QString &key);

// Text boxes give LF line breaks; the stored templates, the counts and the 160-character rule use
// CR LF, each line end counting two characters.
QString storedText(const QString &boxed);
QString boxText(const QString &stored);

// The characters that stay fixed whatever the contact: the text without the six contact keywords
// (exact, case-sensitive). Their confirmation forms and the date keywords count as written.
qsizetype fixedCharacterCount(const QString &message);

// A message box for the user: text and title, no icon.
struct Notice {
    QString text;
    QString title;
};

// Why a template cannot be saved as typed, checked in the order the user has always seen: empty
// text, text too long (all its characters, keywords included), no name, name too long. The name
// is taken as typed: blanks count as a name.
std::optional<Notice> validateTemplate(const QString &name, const QString &message);

// The four-line appointment reminder a new editor starts with.
QString initialSample();
// The same reminder on one line, left in the editor when it is closed.
QString oneLineSample();

} // namespace sending
