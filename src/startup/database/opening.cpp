#include "startup/database/opening.h"

#include "platform/ui/prompter.h"
#include "startup/brand.h"
#include "startup/database/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace startup {

namespace {

QString desktop() { return brand::nombre_marca() + QStringLiteral(" Desktop"); }

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

QString refusal(const db::Result &r, const QString &ruta)
{
    switch (r.status) {
    case db::Status::Busy:
        return QStringLiteral("La base de datos ") + ruta
            + QStringLiteral(" está bloqueada por otro programa. Ciérrelo y abra ") + desktop()
            + QStringLiteral(" de nuevo.");
    case db::Status::WrongKeyOrNotADatabase:
    case db::Status::Ok:
        return QStringLiteral("No se puede abrir la base de datos ") + ruta
            + QStringLiteral(": el archivo está dañado, no es una base de datos de ") + desktop()
            + QStringLiteral(" o tiene otra contraseña. El archivo no se ha modificado. Consérvelo y avise a su "
                             "proveedor; ")
            + desktop() + QStringLiteral(" se cerrará.");
    default:
        return QStringLiteral("No se puede abrir ni crear la base de datos ") + ruta
            + QStringLiteral(". Compruebe que la carpeta del programa existe y que tiene permiso de escritura; ")
            + desktop() + QStringLiteral(" se cerrará.");
    }
}

OpeningResult failure(const db::Result &r, const QString &ruta)
{
    OpeningResult result;
    result.status = OpeningStatus::Failed;
    result.ruta_bbdd_activa = ruta;
    result.message = refusal(r, ruta);
    return result;
}

// Opens a file that must already be ours; on any doubt the connection stays closed and the file
// untouched.
db::Result openExisting(db::Connection &conexion, const QString &ruta)
{
    db::Result r = conexion.open(ruta, db::OpenMode::ExistingOnly);
    if (r.ok() && !isClientDatabase(conexion)) {
        conexion.close();
        r = {db::Status::WrongKeyOrNotADatabase, QStringLiteral("no client tables")};
    }
    return r;
}

// The local file, created with every table when it is missing (it stands in for the file
// delivered with the program). Only a file created by this very call is ever removed again.
OpeningResult openLocal(db::Connection &conexion, const QString &rutaLocal)
{
    OpeningResult result;
    result.ruta_bbdd_activa = rutaLocal;
    const QString copia = rutaCopia(rutaLocal);
    if (!QFileInfo::exists(rutaLocal) && !copia.isEmpty() && QFileInfo::exists(copia)
        && openExisting(conexion, copia).ok()) {
        // The file is gone and a compaction copy is there: an earlier client was stopped between
        // deleting the file and renaming its copy. That copy is the user's book.
        conexion.close();
        if (QFile::rename(copia, rutaLocal))
            result.restoredCopy = true;
    }
    if (QFileInfo::exists(rutaLocal)) {
        const db::Result r = openExisting(conexion, rutaLocal);
        if (!r.ok())
            return failure(r, rutaLocal);
    } else {
        db::Result r = conexion.open(rutaLocal, db::OpenMode::CreateIfMissing);
        if (r.ok())
            r = createSchema(conexion);
        if (!r.ok()) {
            conexion.close();
            QFile::remove(rutaLocal);
            return failure(r, rutaLocal);
        }
        result.created = true;
    }
    result.status = OpeningStatus::Ok;
    return result;
}

void chooseSharedFile(db::Connection &conexion, const QString &rutaLocal, const QString &rutaRed,
                      ui::Prompter &prompter, OpeningResult &result)
{
    if (QFileInfo::exists(rutaRed)) {
        conexion.close();
        if (openExisting(conexion, rutaRed).ok()) {
            result.ruta_bbdd_activa = rutaRed;
            result.captionSuffix = QStringLiteral(" - RED");
            return;
        }
        prompter.message(mensajeRedNoConecta(), tituloErrorRed(), ui::Icon::Critical);
        result.captionSuffix = QStringLiteral(" - LOCAL");
        const db::Result again = openExisting(conexion, rutaLocal);
        if (!again.ok())
            result = failure(again, rutaLocal);
        return;
    }

    prompter.message(mensajeRedNoExiste(rutaRed), tituloErrorRed(), ui::Icon::Critical);
    const ui::Answer answer = prompter.message(preguntaConfiguracionAutomatica(), tituloConfiguracionAutomatica(),
                                               ui::Icon::None, ui::Buttons::OkCancel);
    if (answer == ui::Answer::Ok)
        conexion.execute(QStringLiteral("UPDATE Usuario SET ruta_bbdd=?1"), {rutaLocal});
    else
        result.captionSuffix = QStringLiteral(" - LOCAL");
}

} // namespace

QString localDatabasePath(const QString &ruta_programa) { return QDir(ruta_programa).filePath(QStringLiteral("bbdd.mdb")); }

QString configuredSharedPath(db::Connection &conexion, const QString &rutaLocal)
{
    const QString ruta = conexion.scalar(QStringLiteral("SELECT ruta_bbdd FROM Usuario ORDER BY sid LIMIT 1")).toString();
    if (ruta.size() <= 5 || sameFile(ruta, rutaLocal))
        return {};
    return ruta;
}

QString tituloCopiaRecuperada() { return QStringLiteral("Base de datos recuperada"); }

QString mensajeCopiaRecuperada(const QString &ruta)
{
    return QStringLiteral("No se ha encontrado la base de datos ") + ruta
        + QStringLiteral(", pero sí la copia que dejó una compactación interrumpida. Se ha recuperado esa copia como "
                         "base de datos, con todos sus datos.");
}

QString tituloErrorRed() { return QStringLiteral("Error conexión en red"); }

QString mensajeRedNoConecta()
{
    return desktop()
        + QStringLiteral(" no ha podido conectarse la base de datos en red, y trabajará en red local. Si no es lo que "
                         "desea, por favor cierre ")
        + desktop() + QStringLiteral(" y abralo de nuevo. Gracias.");
}

QString mensajeRedNoExiste(const QString &ruta)
{
    return desktop() + QStringLiteral(" no ha podido conectarse la base de datos en red (") + ruta
        + QStringLiteral("), y trabajará en red local. Si no es lo que desea, por favor cierre ") + desktop()
        + QStringLiteral(" y abralo de nuevo. Gracias.");
}

QString tituloConfiguracionAutomatica() { return QStringLiteral("Configuracion automatica"); }

QString preguntaConfiguracionAutomatica()
{
    return QStringLiteral("Si desea configurar ") + desktop()
        + QStringLiteral(" para que siempre trabaje en local y desaparezca este error al iniciar, pulse Aceptar. Si por "
                         "el contrario desea seguir con la configuracion de trabajo en red, pulse Cancelar.");
}

OpeningResult openDatabase(db::Connection &conexion, const QString &ruta_programa, ui::Prompter &prompter,
                           ui::BusyCursor *busy)
{
    const QString rutaLocal = localDatabasePath(ruta_programa);
    OpeningResult result = openLocal(conexion, rutaLocal);
    if (!result.ok())
        return result;

    if (result.restoredCopy)
        prompter.message(mensajeCopiaRecuperada(rutaLocal), tituloCopiaRecuperada(), ui::Icon::Information);

    const QString rutaRed = configuredSharedPath(conexion, rutaLocal);
    if (!rutaRed.isEmpty()) {
        chooseSharedFile(conexion, rutaLocal, rutaRed, prompter, result);
        if (!result.ok())
            return result;
    }

    result.compaction = Compactar_Base(conexion);
    result.upgrade = upgradeSchema(conexion);
    result.migration = f_migrar_grupos(conexion, prompter, busy);
    // After the upgrade, so the rows find every column they carry.
    result.pending = writePendingSends(conexion);
    return result;
}

} // namespace startup
