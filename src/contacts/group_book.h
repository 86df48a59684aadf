#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace db { class Connection; }

// The groups (table Grupos) as the "Grupos" tab lists them, and their lifecycle: creation with a
// unique name, deletion after taking the group out of every contact.
namespace contacts {

struct Grupo {
    qint64 sid = 0;
    QString nombre;
    qint64 miembros = 0;
};

struct ListaGrupos {
    bool ok = true;
    QString error;
    std::vector<Grupo> grupos;  // in name order
};

// Every group with its member count (whole-number membership).
ListaGrupos listarGrupos(db::Connection &connection);

// The tree text of a group: its name, with " (n contactos)" when it has members.
QString textoGrupo(const Grupo &group);

// The filter's group list after a refill: the names in order, or "Ninguno" alone; the item to
// select (the remembered name when it is still there, else the first group when nothing was
// remembered, else none) and whether "Miembros de" may be used.
struct ListaFiltroGrupos {
    QStringList nombres;
    int seleccion = -1;
    bool activo = false;
};
ListaFiltroGrupos listaFiltroGrupos(const std::vector<Grupo> &groups, const QString &remembered);

// Asks a question with an input box: nothing on Cancel.
using Preguntar = std::function<std::optional<QString>(const QString &prompt, const QString &title,
                                                       const QString &defaultText)>;

// "Crear nuevo grupo": asks for a name until it is new or empty.
struct ResultadoCrearGrupo {
    enum class Status { Creado, Cancelado, ErrorBaseDatos };
    Status estado = Status::Cancelado;
    qint64 sid = 0;
    QString nombre;
    QString error;
    // Names refused as already taken, in the order asked (each told to the user as it happened).
    std::vector<QString> repetidos;
};
// `reportTaken` is told each name that already exists before the name is asked again.
ResultadoCrearGrupo crearGrupo(db::Connection &connection, const Preguntar &ask,
                               const std::function<void(const QString &)> &reportTaken);
// A group named `name` already exists (names compare without case).
bool existeGrupo(db::Connection &connection, const QString &name);

// deleteGroup(): deletes the group, first taking it out of every contact's list when the user
// confirms by typing "SI" (trimmed, any case). A group without members goes without a question.
struct ResultadoBorrarGrupo {
    enum class Status { Borrado, NoExiste, Abortado, ErrorBaseDatos };
    Status estado = Status::NoExiste;
    QString nombre;
    qint64 desvinculados = 0;   // contacts whose list changed
    QString error;
    bool borrado() const { return estado == Status::Borrado; }
};
ResultadoBorrarGrupo f_borrar_grupo(db::Connection &connection, qint64 sid, const Preguntar &ask);

// The texts of these rules, exactly as the users know them.
QString preguntaBorrarGrupo(const QString &name);
QString avisoGrupoRepetido(const QString &name);
inline constexpr auto kTituloConfirmarBorrado = "Confirmar borrado de grupo";
inline constexpr auto kBorradoAbortado =
    "Se ha abortado la eliminación del grupo a petición suya. Si quiere borrarlo, repita el proceso y escriba SI";
inline constexpr auto kGrupoEliminado = "El grupo ha sido eliminado satisfactoriamente";
inline constexpr auto kTituloGrupoEliminado = "Grupo eliminado";
inline constexpr auto kSeleccioneGrupo = "Seleccione primero un grupo";
// A popup item whose group has gone since the menu opened.
inline constexpr auto kGrupoDesaparecido = "El grupo ya no está en la agenda. No se ha hecho nada.";
inline constexpr auto kPreguntaNuevoGrupo = "Introduzca el nombre identificador del nuevo grupo. (vacío = cancelar)";
inline constexpr auto kTituloCrearGrupo = "Crear grupo";
inline constexpr auto kCreacionCancelada = "Se ha cancelado la creación del grupo.";
inline constexpr auto kTituloCreacionCancelada = "Crear grupo cancelado";
inline constexpr auto kTituloNombreGrupo = "Error nombre de grupo";
inline constexpr auto kGrupoCreado = "El grupo ha sido creado.";
inline constexpr auto kTituloNuevoGrupo = "Nuevo grupo";

} // namespace contacts
