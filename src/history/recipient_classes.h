#pragma once

#include "history/delivery_state.h"
#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>

// The recipients of a past send by delivery class, and the rules of the five things the history
// does with them ("Seleccionar destinatarios"): which numbers each class holds, what state a
// number is in, when a list is too long for the contact filter and how long making a group of it
// takes. Numbers are always compared whole: 600123 is not one of the recipients of 34600123456.
namespace history {

// The class words the menu items and the list nodes carry.
enum class ClaseDestinatarios { Destinatarios, Recibidos, Pendientes, Fallidos };

// The class a word names ("Destinatarios", "Recibidos", "Pendientes", "Fallidos"; exact case);
// nothing for any other word, e.g. the key prefix of a send's own node.
std::optional<ClaseDestinatarios> claseDeTexto(const QString &word);
QString textoDeClase(ClaseDestinatarios recipientClass);

// The actions, numbered as the menu orders them; a double click is the filter.
enum class AccionDestinatarios { Filtrar = 0, Grupo = 1, Portapapeles = 2, Enviar = 3, Excel = 4 };
inline constexpr int kAccionesDestinatarios = 5;

// The columns of a send the actions read.
struct EnvioDestinatarios {
    QString destinatario;       // `lista_destinatarios`
    QString estado;             // `estado_entrega`
    QString fEnvio;
    QString fProgramada;
    QString mensaje;
    QString remitente;
};

struct LecturaEnvio {
    enum class Status { Ok, NoRow, DatabaseError };
    Status status = Status::NoRow;
    EnvioDestinatarios envio;
    QString error;
};

// The send with that sid; a null column reads as an empty text.
LecturaEnvio leerEnvio(db::Connection &connection, qint64 sid);

// The numbers of a class, comma-separated without blanks or empty entries, in the send's order;
// an empty text when there are none.
QString listaDeClase(ClaseDestinatarios recipientClass, const EnvioDestinatarios &send);

// The numbers of a list, blanks removed and empty entries dropped.
QStringList telefonosDe(const QString &list);

// A number's delivery state, the confirmed list first, then the failed, then the pending one.
enum class EstadoTelefono { Confirmado, Fallido, SinConfirmar, Ninguno };
EstadoTelefono estadoDeTelefono(const QString &phone, const Desglose &breakdown);
QString textoEstado(EstadoTelefono state);          // "Confirmado", ... ; "" for none
// The font colour of a state in the workbook (0xRRGGBB); nothing for none.
std::optional<quint32> colorEstado(EstadoTelefono state);

// The contact filter on numbers takes this many characters of numbers; a longer list is shown
// through a group of those contacts instead.
inline constexpr qsizetype kLimiteFiltro = 5000;
bool filtroNecesitaGrupo(const QString &list);

// The time a group of that many characters of numbers is estimated to take: "2 seg", "1 min 40 seg".
QString tiempoEstimado(qsizetype characters);

// The recipients box after adding a class list: its text when it holds more than one character
// (trimmed), else nothing; the additions go through the picker's rule.
QString cajaAntesDeAnadir(const QString &text);

// The texts of these actions, exactly as the users know them.
QString preguntaNombreGrupo(qsizetype characters);
inline const QString kAvisoDemasiadosContactos = QStringLiteral(
    "Por el número de contactos, es necesario crear un grupo para poder manejarse adecuadamente.");
inline const QString kTituloCrearGrupo = QStringLiteral("Crear grupo");
inline const QString kTituloExportarDestinatarios = QStringLiteral("Exportar destinatarios a Excel");
inline const QString kExportacionDestinatariosCompleta = QStringLiteral("Exportación completa");
inline const QString kTituloNombreGrupo = QStringLiteral("Error nombre de grupo");
QString avisoGrupoExistente(const QString &name);
inline const QString kErrorCrearGrupo =
    QStringLiteral("No ha sido posible crear el grupo. No se ha cambiado nada.");

} // namespace history
