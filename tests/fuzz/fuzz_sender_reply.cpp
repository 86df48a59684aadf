// The sender identifier replies, the account check and the version check, all short "code|text|"
// replies of the account windows.
#include "fuzz_support.h"

#include "account/account_check.h"
#include "account/sender_admin.h"
#include "startup/version_check.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(data, size);
    const account::senders::SenderReply reply = account::senders::parseReply(text);
    (void)account::senders::splitList(reply.payload);
    (void)account::parseAccountCheck(text);
    (void)startup::version::cleanReply(text);
    return 0;
}
