#pragma once

#include "platform/text/node_key.h"

#include <QString>

#include <optional>

// `clave_nodo`: every node of the contact and group trees is keyed by a prefix word, one blank and
// the row's sid; the single node of an empty list is "l0".
namespace contacts {

inline constexpr auto kEmptyKey = text::kEmptyListKey;

// "pContacto 12" from ("pContacto", 12).
QString nodeKey(const QString &prefix, qint64 sid);

// The sid after the key's last blank; nothing for "l0", an empty key or a key without a number.
std::optional<qint64> sidFromKey(const QString &key);

} // namespace contacts
