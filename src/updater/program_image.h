#pragma once

#include <QByteArray>

namespace updater {

// Whether the first bytes of a file are those of an executable image of this platform (ELF here,
// "MZ" on Windows). A web server that answers with an error page and status 200 must not end up
// installed as the client, and neither may a script: the client is always a compiled program.
bool isProgramImage(const QByteArray &head);

} // namespace updater
