// The watched file of automated sending: its lines and their grouping by message. First line: the
// delimiter; the rest: the file's bytes.
#include "fuzz_support.h"

#include "automation/watched_file.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [delimiter, file] = fuzz::splitFirstLine(fuzz::bytesOf(data, size));
    const QStringList lines = automation::fileLines(file);
    const automation::FileReading reading = automation::groupByMessage(lines, QString::fromUtf8(delimiter));
    for (const automation::Discard &discarded : reading.discards)
        (void)automation::discardText(discarded);
    return 0;
}
