#pragma once

#include <QString>
#include <QStringList>

// The names a shared file is moved to while one take reads it: beside it (so moving it is one
// rename), each take's name its own (so two takes never meet on one name), and in the order the
// takes were made (so what an interrupted take left is read oldest first).
namespace files {

class TakeNames final {
public:
    // `marker` sets the names apart from anything else in the folder: `file` + "." + marker + ...
    TakeNames(const QString &file, const QString &marker);

    // A name no other take has: the move time (UTC, to the millisecond) and a random part.
    QString fresh() const;

    // The files earlier takes (of this program or another workstation) left under such names,
    // oldest first; the bare `file` + "." + marker, as earlier releases named it, comes first.
    QStringList leftovers() const;

    // The folder and the names' common start: tells the takes of one file from another's.
    QString base() const { return m_folder + QLatin1Char('/') + m_base; }

private:
    QString m_folder;
    QString m_base;   // the file name and the marker, without the folder
};

} // namespace files
