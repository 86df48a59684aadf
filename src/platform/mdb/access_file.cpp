#include "platform/mdb/access_file.h"

#include "platform/mdb/access_value.h"
#include "platform/mdb/jet_text.h"

// libmdb's header needs glib's types first.
#include <glib.h>
#include <mdbtools.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace mdb {

namespace {

// Text columns hold at most 255 characters; memos are read with a much larger buffer, because
// libmdb cuts every value at its bind size.
constexpr size_t kTextBindSize = 16384;
constexpr size_t kMemoBindSize = size_t(8) * 1024 * 1024;

ColumnKind kindOf(int colType)
{
    switch (colType) {
    case MDB_TEXT: return ColumnKind::Text;
    case MDB_MEMO: return ColumnKind::Memo;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT: return ColumnKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE: return ColumnKind::Real;
    case MDB_BOOL: return ColumnKind::Boolean;
    case MDB_DATETIME: return ColumnKind::DateTime;
    default: return ColumnKind::Other;
    }
}

QString takeText(char *text)
{
    if (!text)
        return QString(QLatin1String(""));
    QString value = QString::fromUtf8(text);
    g_free(text);
    return value;
}

// The stored bytes of a memo: after its 12-byte header in the row itself, in one row of a
// long-value page, or spread over a chain of such rows, each starting with the next one's page
// and row. Empty when the chain cannot be followed.
QByteArray memoBytes(MdbHandle *mdb, int start, int size)
{
    unsigned char *row = mdb->pg_buf;
    if (size < MDB_MEMO_OVERHEAD)
        return {};
    const quint32 header = quint32(mdb_get_int32(row, start));
    const qsizetype length = qsizetype(header & 0x3FFFFFFFu);
    if (header & 0x80000000u)
        return QByteArray(reinterpret_cast<const char *>(row) + start + MDB_MEMO_OVERHEAD, size - MDB_MEMO_OVERHEAD);
    const qsizetype pageSize = qsizetype(mdb->fmt->pg_size);
    int pgRow = int(mdb_get_int32(row, start + 4));
    QByteArray bytes;
    // A chain never visits more rows than the memo has bytes; a damaged one cannot loop forever.
    for (qsizetype hops = 0; pgRow != 0 && hops <= length && bytes.size() < qsizetype(kMemoBindSize); ++hops) {
        void *page = nullptr;
        int offset = 0;
        size_t rowLength = 0;
        if (mdb_find_pg_row(mdb, pgRow, &page, &offset, &rowLength) != 0 || offset < 0
            || qsizetype(offset) + qsizetype(rowLength) > pageSize)
            return {};
        const auto *data = static_cast<const char *>(page) + offset;
        if (header & 0x40000000u)
            return QByteArray(data, qsizetype(std::min<size_t>(rowLength, size_t(length))));
        if (rowLength <= 4)
            break;
        bytes.append(data + 4, qsizetype(rowLength) - 4);
        pgRow = int(mdb_get_int32(const_cast<char *>(data), 0));
    }
    return bytes.left(length);
}

// A table definition released with its handle.
struct TableDef {
    MdbTableDef *def = nullptr;
    ~TableDef()
    {
        if (def)
            mdb_free_tabledef(def);
    }
};

// libmdb walks a table's pages through its usage map without checking it: a map it could not find
// (null), one too short for its own header, or one naming pages past the end of the file would
// send mdb_fetch_row off a null pointer, past the map or out of the process. `pages` is the
// file's page count.
bool usageMapReadable(const MdbTableDef &t, quint64 pages)
{
    if (!t.usage_map || t.map_sz < 1)
        return false;
    const unsigned char *map = t.usage_map;
    switch (map[0]) {
    case 0:
        // Type 0: the first page's number, then one bit per page from there.
        return t.map_sz >= 5;
    case 1: {
        // Type 1: the numbers of the pages that hold the bitmaps.
        for (size_t at = 1; at + 4 <= t.map_sz; at += 4) {
            const quint64 page = quint64(map[at]) | quint64(map[at + 1]) << 8 | quint64(map[at + 2]) << 16
                | quint64(map[at + 3]) << 24;
            if (page >= pages)
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

// Where one row of the data page in pg_buf lies, read from the page's row offset table before
// libmdb is let near it: libmdb trusts the table, and a damaged offset sends mdb_crack_row to read
// outside the page (memory it never filled) or past the end of its own buffers.
struct RowPlace {
    enum Kind { Row, Deleted, Damaged } kind = Damaged;
    int start = 0;
    size_t size = 0;
};

// Row offsets keep the place in their low 13 bits; 0x4000 marks a deleted row, 0x8000 a lookup
// row (read as libmdb reads it).
constexpr unsigned kOffsetMask = 0x1fff;
constexpr unsigned kDeletedRow = 0x4000;

// The number of rows of the page in pg_buf, or -1 when its offset table would not fit the page.
int rowsOnPage(MdbHandle *mdb)
{
    const unsigned pageSize = mdb->fmt->pg_size;
    const unsigned countAt = mdb->fmt->row_count_offset;
    const unsigned rows = mdb_get_int16(mdb->pg_buf, int(countAt));
    if (pageSize > sizeof(mdb->pg_buf) || countAt + 2 + 2 * rows > pageSize)
        return -1;
    return int(rows);
}

// Row `row` (of `rows`) of the page in pg_buf: it starts past the offset table and ends where the
// row before it starts (row 0 at the end of the page), inside the page.
RowPlace placeOfRow(MdbHandle *mdb, int row, int rows)
{
    const unsigned pageSize = mdb->fmt->pg_size;
    const unsigned tableAt = mdb->fmt->row_count_offset + 2;
    const unsigned raw = mdb_get_int16(mdb->pg_buf, int(tableAt + 2 * unsigned(row)));
    if (raw & kDeletedRow)
        return {RowPlace::Deleted};
    const unsigned start = raw & kOffsetMask;
    const unsigned end =
        row == 0 ? pageSize : mdb_get_int16(mdb->pg_buf, int(tableAt + 2 * unsigned(row - 1))) & kOffsetMask;
    const unsigned tableEnd = tableAt + 2 * unsigned(rows);
    if (start < tableEnd || start >= end || end > pageSize)
        return {RowPlace::Damaged};
    return {RowPlace::Row, int(start), size_t(end - start)};
}

} // namespace

struct AccessFile::Handle {
    MdbHandle *mdb = nullptr;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

int Table::columnIndex(const QString &wanted) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == wanted)
            return int(i);
    return -1;
}

QStringList Table::columnNames() const
{
    QStringList names;
    for (const Column &c : columns)
        names << c.name;
    return names;
}

AccessFile::AccessFile() = default;
AccessFile::~AccessFile() = default;

Result AccessFile::open(const QString &path)
{
    close();
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || !info.isReadable())
        return {Status::NotFound, QStringLiteral("cannot read %1").arg(path)};
    // An Access file is whole pages: 2048 bytes (Jet 3) or 4096 (Jet 4), at least a few of them.
    // A shorter or ragged file is cut off and libmdb would read past its end.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return {Status::NotFound, QStringLiteral("cannot open %1").arg(path)};
    const QByteArray head = probe.read(0x20);
    probe.close();
    if (head.size() < 0x20 || head.mid(4, 15) != QByteArray("Standard Jet DB", 15))
        return {Status::NotAccess, QStringLiteral("not an Access file")};
    const int version = static_cast<unsigned char>(head.at(0x14));
    const qint64 pageSize = version == 0 ? 2048 : 4096;
    if (info.size() < pageSize * 3 || info.size() % pageSize != 0)
        return {Status::Damaged, QStringLiteral("truncated file")};

    auto handle = std::make_unique<Handle>();
    const QByteArray native = QFile::encodeName(path);
    handle->mdb = mdb_open(native.constData(), MDB_NOFLAGS);
    if (!handle->mdb)
        return {Status::NotAccess, QStringLiteral("libmdb refused the file")};
    mdb_set_bind_size(handle->mdb, kTextBindSize);
    // The catalog is itself a table (its definition on page 2) that libmdb reads row by row.
    {
        MdbCatalogEntry catalog{};
        catalog.mdb = handle->mdb;
        catalog.object_type = MDB_TABLE;
        catalog.table_pg = 2;
        TableDef def;
        def.def = mdb_read_table(&catalog);
        if (!def.def || !usageMapReadable(*def.def, quint64(info.size() / pageSize)))
            return {Status::Damaged, QStringLiteral("the catalog cannot be read")};
    }
    if (!mdb_read_catalog(handle->mdb, MDB_TABLE))
        return {Status::Damaged, QStringLiteral("the catalog cannot be read")};
    m_handle = std::move(handle);
    m_path = path;
    return {};
}

void AccessFile::close()
{
    m_handle.reset();
    m_path.clear();
}

bool AccessFile::isOpen() const
{
    return m_handle && m_handle->mdb;
}

QStringList AccessFile::tables(Result *result)
{
    QStringList names;
    if (!isOpen()) {
        if (result)
            *result = {Status::NotFound, QStringLiteral("no file open")};
        return names;
    }
    MdbHandle *mdb = m_handle->mdb;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE)
            continue;
        const QString name = QString::fromUtf8(entry->object_name);
        // System tables ("MSys...") and hidden ones ("~...") are not the user's.
        if (name.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive) || name.startsWith(QLatin1Char('~')))
            continue;
        names << name;
    }
    if (result)
        *result = {};
    return names;
}

Result AccessFile::readTable(const QString &name, Table &table)
{
    table = Table{};
    TableScan scan;
    if (const Result r = scan.open(*this, name); !r.ok())
        return r;
    table = scan.header();
    QVariantList row;
    while (scan.next(row))
        table.rows.push_back(std::move(row));
    return scan.result();
}

struct TableScan::State {
    MdbHandle *mdb = nullptr;
    TableDef def;
    std::vector<int> types;
    std::array<MdbField, MDB_MAX_COLS> fields{};
    bool jet4 = true;
    // The data page in pg_buf (none before the first) and the next row to look at on it.
    bool onPage = false;
    int rows = 0;
    int nextRow = 0;

    // The steps of reading a row of the table `table`. Where one meets damage it says what is
    // damaged; an empty text means all is well.
    bool findRow(const QString &table, RowPlace &place, QString &damage);
    QString readRow(const QString &table, const RowPlace &place, QVariantList &row);
    QString readField(const QString &table, const MdbField &field, const RowPlace &place, QVariant &value);
    QVariant valueAt(int type, int start, int size);
    QVariant textAt(int type, int start, int size);
};

// The place of the next row, reading the next data page once this one is done; deleted rows are
// passed over. False at the end of the table, or with `damage` set when a page or a row cannot be
// placed.
bool TableScan::State::findRow(const QString &table, RowPlace &place, QString &damage)
{
    for (;;) {
        if (!onPage || nextRow >= rows) {
            if (!mdb_read_next_dpg(def.def))
                return false;
            onPage = true;
            nextRow = 0;
            rows = rowsOnPage(mdb);
            if (rows < 0) {
                damage = QStringLiteral("a page of %1 lists more rows than it can hold").arg(table);
                return false;
            }
            continue;
        }
        place = placeOfRow(mdb, nextRow, rows);
        ++nextRow;
        if (place.kind == RowPlace::Damaged) {
            damage = QStringLiteral("a row of %1 lies outside its page").arg(table);
            return false;
        }
        if (place.kind == RowPlace::Row)
            return true;
    }
}

// The row at `place` into `row`, one value per column. Cracked here (not bound) for the null
// mask, which tells Null from "".
QString TableScan::State::readRow(const QString &table, const RowPlace &place, QVariantList &row)
{
    MdbTableDef *t = def.def;
    const int count = mdb_crack_row(t, place.start, place.size, fields.data());
    if (count <= 0)
        return QStringLiteral("a row of %1 cannot be read").arg(table);
    row.clear();
    row.resize(qsizetype(t->num_cols));
    for (int f = 0; f < count && f < int(t->num_cols); ++f) {
        const MdbField &field = fields[size_t(f)];
        const int c = field.colnum;
        if (c < 0 || c >= int(t->num_cols))
            continue;
        if (const QString damage = readField(table, field, place, row[c]); !damage.isEmpty())
            return damage;
    }
    return {};
}

// One cracked field of the row at `place`, checked to lie inside that row before it is read.
QString TableScan::State::readField(const QString &table, const MdbField &field, const RowPlace &place,
                                    QVariant &value)
{
    const int type = types[size_t(field.colnum)];
    if (type == MDB_BOOL) {
        // Jet keeps Yes/No in the null mask itself: a set bit is Yes.
        value = !field.is_null;
        return {};
    }
    if (field.is_null)
        return {};                      // stays an invalid QVariant: Null
    const int start = field.start;
    const int size = field.siz;
    const size_t rowEnd = size_t(place.start) + place.size;
    if (start < place.start || size < 0 || size_t(start) + size_t(size) > rowEnd)
        return QStringLiteral("a value of %1 lies outside its row").arg(table);
    value = valueAt(type, start, size);
    if (type == MDB_DATETIME && !value.toDateTime().isValid())
        return QStringLiteral("a date of %1 is out of range").arg(table);
    return {};
}

// The value of libmdb type `type` held in `size` bytes at `start` of the page in pg_buf.
QVariant TableScan::State::valueAt(int type, int start, int size)
{
    const unsigned char *buf = mdb->pg_buf;
    switch (type) {
    case MDB_BYTE:
        return qint64(mdb_get_byte(const_cast<unsigned char *>(buf), start));
    case MDB_INT:
        return qint64(qint16(mdb_get_int16(const_cast<unsigned char *>(buf), start)));
    case MDB_LONGINT:
        return qint64(qint32(mdb_get_int32(const_cast<unsigned char *>(buf), start)));
    case MDB_FLOAT:
        return double(mdb_get_single(const_cast<unsigned char *>(buf), start));
    case MDB_DOUBLE:
        return mdb_get_double(const_cast<unsigned char *>(buf), start);
    case MDB_DATETIME:
        // Read the double ourselves: libmdb's own formatting is wrong before day zero.
        return accessDateToDateTime(mdb_get_double(const_cast<unsigned char *>(buf), start));
    case MDB_TEXT:
    case MDB_MEMO:
        return textAt(type, start, size);
    case MDB_OLE:
    case MDB_BINARY:
    case MDB_COMPLEX:
        return QString(QLatin1String(""));
    default:
        return takeText(mdb_col_to_string(mdb, mdb->pg_buf, start, type, size));
    }
}

// A text or memo value. Jet 4 text is decoded here whole; Jet 3 text is converted by libmdb, a
// memo with a bind size large enough to hold it.
QVariant TableScan::State::textAt(int type, int start, int size)
{
    if (type == MDB_TEXT) {
        if (size == 0)
            return QString(QLatin1String(""));
        if (jet4)
            return decodeJetText(QByteArrayView(mdb->pg_buf + start, size));
        return takeText(mdb_col_to_string(mdb, mdb->pg_buf, start, type, size));
    }
    if (jet4) {
        const QString memo = decodeJetText(memoBytes(mdb, start, size));
        return memo.isNull() ? QString(QLatin1String("")) : memo;
    }
    mdb_set_bind_size(mdb, kMemoBindSize);
    const QString memo = takeText(mdb_col_to_string(mdb, mdb->pg_buf, start, type, size));
    mdb_set_bind_size(mdb, kTextBindSize);
    return memo;
}

TableScan::TableScan() = default;
TableScan::~TableScan() = default;

Result TableScan::open(AccessFile &file, const QString &name)
{
    m_state.reset();
    m_header = Table{};
    m_position = 0;
    m_result = {};
    if (!file.isOpen())
        return m_result = {Status::NotFound, QStringLiteral("no file open")};
    MdbHandle *mdb = file.m_handle->mdb;

    // Access matches table names without case ("agenda" is "Agenda"); an exact match wins.
    MdbCatalogEntry *found = nullptr;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE)
            continue;
        const QString entryName = QString::fromUtf8(entry->object_name);
        if (entryName == name) {
            found = entry;
            break;
        }
        if (!found && entryName.compare(name, Qt::CaseInsensitive) == 0)
            found = entry;
    }
    if (!found)
        return m_result = {Status::NoSuchTable, QStringLiteral("no table %1").arg(name)};

    auto state = std::make_unique<State>();
    state->mdb = mdb;
    state->def.def = mdb_read_table(found);
    if (!state->def.def)
        return m_result = {Status::Damaged, QStringLiteral("table %1 cannot be read").arg(name)};
    MdbTableDef *t = state->def.def;
    if (!usageMapReadable(*t, quint64(QFileInfo(file.m_path).size()) / quint64(mdb->fmt->pg_size)))
        return m_result = {Status::Damaged, QStringLiteral("the page map of %1 cannot be read").arg(name)};
    if (!mdb_read_columns(t))
        return m_result = {Status::Damaged, QStringLiteral("columns of %1 cannot be read").arg(name)};
    if (t->num_cols > MDB_MAX_COLS)
        return m_result = {Status::Damaged, QStringLiteral("too many columns")};

    m_header.name = QString::fromUtf8(found->object_name);
    for (unsigned int i = 0; i < t->num_cols; ++i) {
        auto *col = static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i));
        m_header.columns.push_back({QString::fromUtf8(col->name), kindOf(col->col_type)});
        state->types.push_back(col->col_type);
    }

    // Jet 4 and later keep text as UTF-16, decoded here whole; Jet 3 text is in the file's code
    // page, which libmdb converts.
    state->jet4 = mdb->f->jet_version != MDB_VER_JET3;
    mdb_rewind_table(t);
    m_state = std::move(state);
    return m_result;
}

void TableScan::rewind()
{
    if (!m_state)
        return;
    mdb_rewind_table(m_state->def.def);
    m_state->onPage = false;
    m_state->rows = 0;
    m_state->nextRow = 0;
    m_position = 0;
    m_result = {};
}

bool TableScan::next(QVariantList &row)
{
    if (!m_state || !m_result.ok())
        return false;
    const auto damaged = [this](const QString &text) {
        m_result = {Status::Damaged, text};
        return false;
    };
    // The pages and rows are walked here rather than by mdb_fetch_row, which cracks every row it
    // meets before anyone can look at the row's place, and skips without a word the rows it cannot
    // place: each row's start and size are checked against its page first, and a damaged one stops
    // the read instead of being lost.
    RowPlace place;
    QString damage;
    if (!m_state->findRow(m_header.name, place, damage))
        return damage.isEmpty() ? false : damaged(damage);
    damage = m_state->readRow(m_header.name, place, row);
    if (!damage.isEmpty())
        return damaged(damage);
    ++m_position;
    return true;
}

} // namespace mdb
