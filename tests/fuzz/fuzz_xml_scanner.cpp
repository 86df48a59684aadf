// The XML scanner of the workbook reader against Qt's full XML reader: whatever both take as
// well-formed must read as the same names, attributes and texts, in pieces of any size.
#include "fuzz_support.h"

#include "xml_tokens.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte sets the size of the pieces the part arrives in.
    const qint64 piece = 1 + data[0] % 64;
    const QByteArray document = fuzz::bytesOf(data + 1, size - 1);
    const QStringList scanned = xmltest::scannerTokens(document, piece);
    if (scanned.last() != QStringLiteral("."))
        return 0;
    const QStringList expected = xmltest::qtTokens(document);
    if (expected.last() != QStringLiteral("."))
        return 0;
    if (scanned != expected) {
        std::fprintf(stderr, "scanner: %s\nQt:      %s\n", qPrintable(scanned.join(u'|')), qPrintable(expected.join(u'|')));
        std::abort();
    }
    return 0;
}
