// Excel 97-2003 workbooks as the import reads them.
#include "fuzz_support.h"

#include "platform/xlsx/xls_reader.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchFile(fuzz::bytesOf(data, size), QStringLiteral("libro.xls"));
    (void)xlsx::readXls(path);
    return 0;
}
