#pragma once

#include <QByteArray>

namespace updater {

// Whether the first bytes of a file are those of a program this platform starts (an ELF image or
// a "#!" script here, an "MZ" image on Windows). A web server that answers with an error page and
// status 200 must not end up installed as the client.
bool isProgramImage(const QByteArray &head);

} // namespace updater
