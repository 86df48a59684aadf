#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What the simulated gateway keeps across runs when it is given a state file (the demo does):
// its accounts (password, balance, prices, senders, web contacts), its sends with their delivery
// states, and the next send number. Settings given on the command line (clock, faults, version,
// downloads) are not part of it.
namespace sim {

struct GatewayData;

// The lasting part of `data` as JSON.
QByteArray encodeState(const GatewayData &data);

// Replaces the lasting part of `data` with what `bytes` holds. False, with `error` saying why, when
// they are not a whole state of this simulator; `data` is then left as it was.
bool decodeState(const QByteArray &bytes, GatewayData &data, QString *error);

// Writes `bytes` as the file `path` so that a crash at any moment leaves either the earlier file or
// the new one whole: written in full under a temporary name beside it, synced to disk, renamed over
// it, and the folder synced so the rename itself lasts. `beforeStep`, when set, is called before
// each step that touches the disk (create, write, sync, rename, sync the folder) and once after the
// last: the crash tests end the program there.
bool writeStateFile(const QString &path, const QByteArray &bytes, QString *error,
                    const std::function<void()> &beforeStep = {});

} // namespace sim
