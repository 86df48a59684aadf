#pragma once

#include "brisanta_version.h"

#include <QString>

// The client's own version and what "newer" means. The version check and the updater must agree on
// it, so both take it from here.
namespace brand {

// The version of this client, compared as text.
inline constexpr auto kClientVersion = BRISANTA_VERSION;

// Greater is the plain comparison of texts by character code: "2.4" > "2.34", "2.100" is not.
bool isNewer(const QString &version, const QString &own = QString::fromLatin1(kClientVersion));

} // namespace brand
