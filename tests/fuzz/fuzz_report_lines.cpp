// The delivery report reply (`getreport.php`): each line, and the stored state it leads to.
#include "fuzz_support.h"

#include "history/delivery_reports.h"
#include "history/delivery_state.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(data, size);
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (const std::optional<history::StateLine> parsed = history::parseStateLine(line)) {
            const history::Breakdown breakdown =
                history::parseDeliveryState(parsed->storedState(), QStringLiteral("34600111222,34600111333"));
            (void)history::stateColour(breakdown, QStringLiteral("2024-06-03 10:00"), QStringLiteral("2024-06-03 11:00"));
        }
    }
    // A stored state read back as it was written, whatever it holds.
    const auto [state, recipients] = fuzz::splitFirstLine(fuzz::bytesOf(data, size));
    (void)history::parseDeliveryState(QString::fromUtf8(state), QString::fromUtf8(recipients));
    return 0;
}
