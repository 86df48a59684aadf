// Other Access files as the Access import and the customer-database import read them: every table,
// every row.
#include "fuzz_support.h"

#include "platform/mdb/access_file.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchFile(fuzz::bytesOf(data, size), QStringLiteral("otra.mdb"));
    mdb::AccessFile file;
    if (!file.open(path).ok())
        return 0;
    for (const QString &name : file.tables()) {
        mdb::Table table;
        (void)file.readTable(name, table);
    }
    return 0;
}
