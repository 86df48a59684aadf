#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The field mapping of the Access import and its memory in `Parametros_Access` (one row).
namespace importexport::access {

// The entry that leaves a contact field empty, listed after the other table's fields.
inline const QString kEmptyEntry = QStringLiteral("Vacio");

// The list positions chosen in the eight combos: for nombre, telefono, nombre_completo, direccion,
// telefono_2, comentario, f_nacimiento (position == field count means "Vacio"), and the key field.
struct Mapping {
    std::array<int, 7> fields{};
    int key = 0;
    bool operator==(const Mapping &) const = default;
};

// Field 0 is taken to be the key; each contact field takes the next field in order, and the rest
// are "Vacio".
Mapping defaultMapping(int fieldCount);
// Every position points at a field or at "Vacio"; the key at a field.
bool mappingFits(const Mapping &mapping, int fieldCount);

struct RememberedFile {
    QString table;
    QString path;
    QString pass;
};

// The first remembered row (file, table and password), if any.
std::optional<RememberedFile> lastFile(db::Connection &connection, db::Result *result = nullptr);
// The mapping remembered for exactly this file, password and table.
std::optional<Mapping> rememberedMapping(db::Connection &connection, const QString &path, const QString &pass,
                                         const QString &table, db::Result *result = nullptr);
// Rewrites the one row (made first when the table is empty), in one transaction.
db::Result saveSettings(db::Connection &connection, const QString &table, const QString &path, const QString &pass,
                        const Mapping &mapping);

} // namespace importexport::access
