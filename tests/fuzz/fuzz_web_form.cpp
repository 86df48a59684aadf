// The gateway's web form page of the birthday greetings: parsed, its form found and submitted.
#include "fuzz_support.h"

#include "automation/birthdays/web_form.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace automation::birthdays;
    static const QUrl page(QStringLiteral("http://127.0.0.1/extranet_nueva/SMS/personalizado.php"));
    HtmlPage parsed = parsePage(fuzz::textOf(data, size), page);
    if (HtmlControl *messageControl = parsed.form.control(QStringLiteral("mensaje")))
        messageControl->value = QStringLiteral("Feliz cumpleaños €");
    (void)encodeSubmission(parsed.form, QStringLiteral("enviar"), Charset::Windows1252);
    (void)encodeSubmission(parsed.form, QString(), Charset::Utf8);
    return 0;
}
