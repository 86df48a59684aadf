#pragma once

#include <QStringView>

// Names sorted as a Spanish reader expects: accents and case are ignored at first ("Ángel" sits
// with the A's, not after "Zoe"), "ñ" is a letter of its own after "n", and names with the same
// letters are ordered by their accents (unaccented first). Names that differ only in case are
// equal, as the old database compared them: queries add `sid` so equal names keep one order.
namespace db {

// The collation every Connection registers; used only in the text of queries (`ORDER BY nombre
// COLLATE ESPANOL`), never in the stored schema, so other programs still open the file.
inline constexpr char kSpanishCollation[] = "ESPANOL";

// Negative, zero or positive, as a < b, a == b, a > b.
int compareSpanish(QStringView a, QStringView b);
// The same order on UTF-8 texts, as the database hands them to a collation.
int compareSpanishUtf8(const char *a, qsizetype lengthA, const char *b, qsizetype lengthB);

} // namespace db
