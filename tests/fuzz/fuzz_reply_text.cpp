// The gateway's pages as the reply handlers receive them: charset decoding, HTML reduced to text,
// the API fields. First line: the Content-Type header; the rest: the body.
#include "fuzz_support.h"

#include "platform/net/reply_text.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [contentType, body] = fuzz::splitFirstLine(fuzz::bytesOf(data, size));
    const QString text = net::replyText(body, contentType);
    const QStringList fields = text.isEmpty() ? QStringList() : text.split(QLatin1Char('|'));
    if (net::apiFieldCount(text) != fields.size())
        __builtin_trap();
    for (qsizetype i = 0; i < qMin<qsizetype>(fields.size(), 8); ++i) {
        if (net::apiField(text, i) != fields.at(i))
            __builtin_trap();
    }
    const std::optional<int> code = net::apiCode(text);
    if (code && (!net::replyOk(text) || *code < 0 || *code > 9 || net::apiField(text, 0).trimmed() != QString::number(*code)))
        __builtin_trap();
    (void)net::htmlToText(fuzz::textOf(data, size));
    (void)net::decodeBody(body, contentType);
    return 0;
}
