#pragma once

// libmdb's header needs glib's types first.
#include <glib.h>
#include <mdbtools.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QtEndian>

#include <utility>

// Access files with a damaged row offset table, made from a valid file by changing two bytes: the
// shapes a disk error or a bad copy leaves behind. Shared by the reader tests and the plain reader
// that runs under valgrind.
namespace testing::mdb_damage {

// Jet 4 data pages: 4096 bytes, type 1 in the first byte, the row count at byte 12 and then one
// 2-byte offset per row (flags in the top bits: 0x4000 deleted, 0x8000 lookup).
constexpr qsizetype kPage = 4096;
constexpr qsizetype kRowCount = 12;

inline bool isJet4(const QByteArray &bytes)
{
    return bytes.size() >= 2 * kPage && bytes.at(0x14) != 0;
}

// The table definition pages of the file's user tables, in catalog order, as libmdb finds them.
inline QList<quint32> userTablePages(const QString &path)
{
    QList<quint32> pages;
    const QByteArray native = QFile::encodeName(path);
    MdbHandle *mdb = mdb_open(native.constData(), MDB_NOFLAGS);
    if (!mdb)
        return pages;
    if (mdb_read_catalog(mdb, MDB_TABLE)) {
        for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
            const auto *entry = static_cast<const MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
            const QString name = QString::fromUtf8(entry->object_name);
            if (entry->object_type == MDB_TABLE && !name.startsWith(QLatin1String("MSys")) && !name.startsWith(u'~'))
                pages << quint32(entry->table_pg);
        }
    }
    mdb_close(mdb);
    return pages;
}

// The place of the first row offset of the first data page, holding at least one row, of the
// first user table (table definition pages `tables`) that has such a page.
inline qsizetype firstRowOffset(const QByteArray &bytes, const QList<quint32> &tables, qsizetype *page = nullptr)
{
    if (!isJet4(bytes))
        return -1;
    for (const quint32 table : tables) {
        for (qsizetype p = 3; (p + 1) * kPage <= bytes.size(); ++p) {
            const char *data = bytes.constData() + p * kPage;
            if (data[0] != 0x01 || qFromLittleEndian<quint32>(data + 4) != table
                || qFromLittleEndian<quint16>(data + kRowCount) == 0)
                continue;
            if (page)
                *page = p;
            return p * kPage + kRowCount + 2;
        }
    }
    return -1;
}

inline QByteArray withOffset(QByteArray bytes, qsizetype at, quint16 value)
{
    qToLittleEndian<quint16>(value, bytes.data() + at);
    return bytes;
}

// Named copies of the file at `path`, each with one damaged row offset, row count or row of its
// first user table. Empty for a file that is not Jet 4 or has no such table.
inline QList<std::pair<QString, QByteArray>> damagedCopies(const QString &path)
{
    QList<std::pair<QString, QByteArray>> copies;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return copies;
    const QByteArray good = file.readAll();
    qsizetype page = 0;
    const qsizetype at = firstRowOffset(good, userTablePages(path), &page);
    if (at < 0)
        return copies;
    const quint16 offset = qFromLittleEndian<quint16>(good.constData() + at);
    const quint16 place = offset & 0x1fff;
    // Past the page: as libmdb reads it (0x1fff mask) and with the spare bit above the mask set,
    // which a reader that forgets the mask takes for a place 8 KB further on.
    copies.append({QStringLiteral("fuera_de_pagina"), withOffset(good, at, 0x1ff0)});
    copies.append({QStringLiteral("bit_de_mas"), withOffset(good, at, quint16(place | 0x2000))});
    copies.append({QStringLiteral("consulta_fuera"), withOffset(good, at, quint16(place | 0x8000 | 0x2000))});
    // Inside the offset table itself, and after the end of the row before it.
    copies.append({QStringLiteral("sobre_la_tabla"), withOffset(good, at, 0x0010)});
    const qsizetype rows = qFromLittleEndian<quint16>(good.constData() + page * kPage + kRowCount);
    if (rows > 1) {
        const qsizetype second = at + 2;
        copies.append({QStringLiteral("fila_invertida"), withOffset(good, second, quint16(kPage - 2))});
    }
    // A row count that runs the offset table over the whole page.
    copies.append({QStringLiteral("demasiadas_filas"), withOffset(good, page * kPage + kRowCount, 0x0fff)});
    // A row that claims more columns than its bytes can describe.
    QByteArray columns = good;
    qToLittleEndian<quint16>(0xffff, columns.data() + page * kPage + place);
    copies.append({QStringLiteral("columnas_de_mas"), columns});
    // And one that claims a single column, so its null mask is shorter than the table needs.
    QByteArray fewer = good;
    qToLittleEndian<quint16>(0x0001, fewer.data() + page * kPage + place);
    copies.append({QStringLiteral("columnas_de_menos"), fewer});
    return copies;
}

} // namespace testing::mdb_damage
