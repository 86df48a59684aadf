#pragma once

#include <QStringView>

#include <optional>

// The keys of the nodes of the client's trees: a prefix word, one blank and the id of the row the
// node shows ("pContacto 12", "pMensaje 3"); the single node of an empty list is "l0".
namespace text {

inline constexpr auto kEmptyListKey = "l0";

// What a key without a blank stands for.
enum class BareKey {
    NoId,   // nothing: every node that leads to a row has a prefix
    Id,     // the whole key is the id ("12")
};

// How the id after the last blank must be written to count.
enum class IdText {
    Integer,           // what QString::toLongLong reads: an optional sign, tabs around it allowed
    PositiveInteger,   // the same, above 0: no row has id 0 or below
    Digits,            // the digits 0-9 alone, no sign and nothing around them
};

// The id a node key leads to: the text after its last blank, read as `idText` asks; nothing for
// "l0", an empty key, a key whose id is not written that way or does not fit in 64 bits.
std::optional<qint64> nodeKeyId(QStringView key, BareKey bare, IdText idText);

// The prefix of a key: the text before its last blank ("pContacto" of "pContacto 12"); the whole
// key when it has no blank.
QStringView nodeKeyPrefix(QStringView key);

} // namespace text
