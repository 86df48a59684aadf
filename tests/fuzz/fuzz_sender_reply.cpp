// The sender identifier replies, the account check and the version check, all short "code|text|"
// replies of the account windows.
#include "fuzz_support.h"

#include "startup/dialogs/account_check.h"
#include "startup/dialogs/sender_admin.h"
#include "startup/version/version_check.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(data, size);
    const startup::senders::SenderReply reply = startup::senders::parseReply(text);
    (void)startup::senders::splitList(reply.payload);
    (void)startup::account::parseAccountCheck(text);
    (void)startup::version::cleanReply(text);
    return 0;
}
