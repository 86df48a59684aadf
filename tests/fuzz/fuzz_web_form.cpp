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
    PaginaHtml parsed = analizarPagina(fuzz::textOf(data, size), page);
    if (ControlHtml *messageControl = parsed.formulario.control(QStringLiteral("mensaje")))
        messageControl->valor = QStringLiteral("Feliz cumpleaños €");
    (void)codificarEnvio(parsed.formulario, QStringLiteral("enviar"), Juego::Windows1252);
    (void)codificarEnvio(parsed.formulario, QString(), Juego::Utf8);
    return 0;
}
