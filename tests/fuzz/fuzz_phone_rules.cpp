// The phone number rules of every entry road.
#include "fuzz_support.h"

#include "automation/watched_file.h"
#include "contacts/phone_number.h"
#include "history/recipient_classes.h"
#include "importexport/access/phone_rules.h"
#include "sending/phone_rules.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(data, size);
    QString phone = text;
    (void)sending::phone::f_normalizar_telefono(phone);
    (void)sending::phone::normalizarTelefono(text);
    (void)sending::phone::soloDigitos(text);
    QString stripped = text;
    sending::phone::quitar(stripped, u"+()-. ,");
    sending::phone::quitarIniciales(stripped, u"0");
    sending::phone::anadirPrefijoMovil(stripped, u"67");
    (void)automation::limpiarNumero(text);
    (void)contacts::comprobarMovil(text);
    (void)importexport::access::telefono_access(text);
    (void)importexport::access::telefono_clientes(text);
    (void)history::telefonosDe(text);
    return 0;
}
