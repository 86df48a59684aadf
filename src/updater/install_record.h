#pragma once

#include <QByteArray>
#include <QString>

// The record of the newest release ever installed in a program folder. The statement kept beside the
// client (signature.h) tells which release the file there is, but during a swap the file and its
// statement cannot change in one step. So before the client is swapped the new release's signed
// statement is written here and synced to disk; the record only ever rises, and an update that was
// cut short anywhere can never make an older release look newer than one already installed.
namespace updater {

// The client's path followed by ".highest.sig".
QString installRecordPath(const QString &target);

// Records `signedText` (the maker's signed statement of the release about to be installed at
// `target`) unless the record already names a version not older; the file is replaced in one step
// and synced. Empty when done (or nothing needed doing), else a Spanish reason.
QString recordInstalled(const QString &target, const QByteArray &signedText, const QByteArray &publicKey);

// The record as it stands before an installation raises it. When that installation does not take
// place after all (the swap fails, or the previous client is back in place), the record goes back to
// it: nothing newer was installed. The order keeps it safe: the client first, the record after.
// putBackRecord() is empty when the record is as it was, else a Spanish reason: a record left raised
// makes later updates take a release for installed that is not, so the caller must say so.
struct RecordSnapshot {
    bool existed = false;
    QByteArray bytes;
};
RecordSnapshot currentRecord(const QString &target);
[[nodiscard]] QString putBackRecord(const QString &target, const RecordSnapshot &snapshot);

// Sets the record to the release actually in place at `target`: the one its kept statement names when
// that statement is the maker's and describes the file there; with no such statement (a client put
// there by the full installer) the record goes, as before the first update. Used once an installation
// an ended updater left behind is finished or undone, so that a release taken back is never counted
// as installed. Empty when done, else a Spanish reason.
[[nodiscard]] QString settleRecord(const QString &target, const QByteArray &publicKey);

} // namespace updater
