// Excel 97-2003 workbooks as the import gets them: freexl runs only in the reading helper
// process, and what reaches the client is that helper's record stream. A damaged workbook that
// brings the helper down ends as a message; the records it hands back are what the client decodes,
// so they are what is fuzzed here, whole and in pieces (the seeds hold streams and whole .xls files
// alike). The walk of a file's declared sheet sizes, which the helper makes before freexl sees the
// file, reads the same bytes as a compound file.
#include "fuzz_support.h"

#include "platform/xlsx/xls_grid.h"
#include "platform/xlsx/xls_rows.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    (void)xlsx::xlsrows::decode(bytes, QStringLiteral("libro.xls"));
    // The same records as the client takes them from the helper: in pieces, decoded as they come.
    xlsx::xlsrows::Decoder decoder(QStringLiteral("libro.xls"));
    const qsizetype cut = bytes.isEmpty() ? 0 : qsizetype(quint8(bytes.front())) % bytes.size();
    if (decoder.feed(bytes.left(cut)))
        decoder.feed(bytes.mid(cut));
    (void)decoder.finish();
    (void)xlsx::declaredXlsGrid(fuzz::scratchFile(bytes, QStringLiteral("libro.xls")));
    return 0;
}
