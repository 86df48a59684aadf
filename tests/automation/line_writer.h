#pragma once

#include <QProcess>
#include <QString>

// Another program appending to the watched file line after line, opening and closing it for each:
// line i is "6" + i in eight digits + "#Linea " + i.
namespace testing {

inline bool startLineWriter(QProcess &writer, const QString &file, int lines)
{
    writer.setProgram(QStringLiteral("/bin/sh"));
    writer.setArguments({QStringLiteral("-c"),
                         QStringLiteral("i=1; while [ $i -le $1 ]; do env printf '6%08d#Linea %d\\n' $i $i >> \"$2\"; "
                                        "i=$((i+1)); done"),
                         QStringLiteral("sh"), QString::number(lines), file});
    writer.start();
    return writer.waitForStarted(10000);
}

} // namespace testing
