// The web contacts download reply: its classification, its records walked where they lie and the
// six quoted values of each; the walk must give back the whole reply, separators aside.
#include "fuzz_support.h"

#include "importexport/web/web_download.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(data, size);
    (void)importexport::web::classifyDownload(text);
    importexport::web::RecordReader reader(text);
    qsizetype covered = 0;
    qsizetype records = 0;
    while (const std::optional<QStringView> record = reader.next()) {
        covered += record->size();
        ++records;
        (void)importexport::web::parseRecord(*record);
    }
    // Every record but the last was followed by its two-character separator.
    if (covered + 2 * (records - 1) != text.size())
        __builtin_trap();
    return 0;
}
