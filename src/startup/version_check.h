#pragma once

#include "brand/version_order.h"

#include <QString>

#include <chrono>

namespace seams {
struct AppContext;
}

// The check at every start whether the gateway names a newer client, and the hand-over to the
// full installer or to the updater.
namespace startup::version {

// The reply's useful part: the text between "<BODY>" (upper case only) and "</BODY>" when both
// are there, without line breaks and surrounding blanks.
QString cleanReply(const QString &raw);

enum class Action {
    Nothing,        // not newer, in the short form
    StoreVersion,   // "a|b" naming nothing newer: the version that ran is recorded
    StartUpdater,   // "a" newer: the updater replaces the client
    OpenInstaller,  // "b" newer: only the full installer will do
    NoConnection,   // empty, or too long to be a version (an error page)
};

// What a cleaned reply asks for.
Action decide(const QString &cleaned);

struct FetchResult {
    bool ok = false;   // false: no connection, failed request, time-out
    QString text;      // the raw body
};

// POSTs "Fuente=Desktop" to the gateway's version script, blocking, with the hourglass meanwhile.
FetchResult fetchVersion(seams::AppContext &context,
                                std::chrono::milliseconds timeout = std::chrono::milliseconds{60000});

// Acts on a fetched reply: messages, installer address, updater start, stored version.
// `storedVersion` is `Usuario.version_desktop` as read at start-up ("" without an account row).
Action actOnReply(seams::AppContext &context, const FetchResult &fetched, const QString &storedVersion);

// The whole start-up step.
Action checkVersion(seams::AppContext &context, const QString &storedVersion);

// The updater in the given folder; the client starts the one beside its own executable.
QString updaterPath(const QString &programFolder);

} // namespace startup::version
