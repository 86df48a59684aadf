#include "platform/files/durable_write.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

// Writes its second argument over the file named by its first, as the program writes its records;
// the crash tests end it at each call it makes to the system. Exits with 0 once the write was
// reported done, else with 1 and the reason on its error output.
int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    const QString problem = files::writeDurably(QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]));
    if (problem.isEmpty())
        return 0;
    std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
    return 1;
}
