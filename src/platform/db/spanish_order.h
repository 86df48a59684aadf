#pragma once

#include <QString>
#include <QStringView>

// Names sorted as a Spanish reader expects: accents and case are ignored at first ("Ángel" sits
// with the A's, not after "Zoe"), "ñ" is a letter of its own after "n", and names with the same
// letters are ordered by their accents (unaccented first). Names that differ only in case are
// equal, as the old database compared them: queries add `sid` so equal names keep one order.
namespace db {

// The collation every Connection registers; used only in the text of queries (`ORDER BY nombre
// COLLATE ESPANOL`), never in the stored schema, so other programs still open the file.
inline constexpr char kSpanishCollation[] = "ESPANOL";

// The function every Connection registers for comparisons without case: `fold(x)` is `x` with
// every letter in one case (Á = á, Ñ = ñ), accents kept; Null stays Null. Used only in the text
// of queries (`fold(nombre) LIKE '%' || fold(?) || '%'`), like the collation.
inline constexpr char kFoldFunction[] = "fold";

// Every letter of the text in one case, as fold() gives it. Accents stay, so "á" is not "a",
// and "ñ" is not "n".
QString foldCase(QStringView text);

// Negative, zero or positive, as a < b, a == b, a > b.
int compareSpanish(QStringView a, QStringView b);
// The same order on UTF-8 texts, as the database hands them to a collation.
int compareSpanishUtf8(const char *a, qsizetype lengthA, const char *b, qsizetype lengthB);

} // namespace db
