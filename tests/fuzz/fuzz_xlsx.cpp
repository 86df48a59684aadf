// Excel 2007+ workbooks as the import reads them.
#include "fuzz_support.h"

#include "platform/xlsx/xlsx_reader.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchFile(fuzz::bytesOf(data, size), QStringLiteral("libro.xlsx"));
    (void)xlsx::readXlsx(path);
    return 0;
}
