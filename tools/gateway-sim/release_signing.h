#pragma once

#include <QByteArray>

// The simulator's release key: an Ed25519 key pair made from a fixed seed, so the files it serves
// carry signatures that tests (and a demo build given the public half) can check. It signs nothing
// real: its secret half is written in this source.
namespace sim {

// The 32-byte public key.
QByteArray testReleasePublicKey();

// The 64-byte detached signature of `bytes` made with the test key.
QByteArray signWithTestKey(const QByteArray &bytes);

} // namespace sim
