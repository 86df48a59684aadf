#pragma once

#include <QString>

// The client's own version and what "newer" means. The version check and the updater must agree on
// it, so both take it from here.
namespace startup::version {

// Set by the build from the project's version, its only source.
#ifndef BRISANTA_VERSION
#error "BRISANTA_VERSION must be set by the build (the project's version)"
#endif

// The version of this client, compared as text.
inline constexpr auto kClientVersion = BRISANTA_VERSION;

// Greater is the plain comparison of texts by character code: "2.4" > "2.34", "2.100" is not.
bool isNewer(const QString &version, const QString &own = QString::fromLatin1(kClientVersion));

} // namespace startup::version
