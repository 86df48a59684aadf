// The quote reply (`quotesms.php`): cost and balance.
#include "fuzz_support.h"

#include "sending/quote.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    (void)sending::interpretQuoteReply(true, fuzz::textOf(data, size));
    return 0;
}
