#include "platform/xlsx/workbook_writer.h"

#include "platform/xlsx/column_width.h"
#include "platform/xlsx/package_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringEncoder>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

// libxlsxwriter deflates every part at zlib's default level, and on a large export that is the
// greater part of the time: zlib's fastest level writes the same workbook in a fraction of it, a
// few tenths larger. The library has no setting for it, so the one minizip call it opens a part
// with is answered here (the program's own definition comes before minizip's) and passed on to
// minizip with the fastest level; everything else goes through unchanged.
extern "C" int zipOpenNewFileInZip4_64(void *file, const char *name, const void *info, const void *localExtra,
                                       unsigned localExtraSize, const void *globalExtra, unsigned globalExtraSize,
                                       const char *comment, int method, int level, int raw, int windowBits,
                                       int memLevel, int strategy, const char *password, unsigned long cryptingCrc,
                                       unsigned long versionMadeBy, unsigned long flagBase, int zip64)
{
    using Open = int (*)(void *, const char *, const void *, const void *, unsigned, const void *, unsigned,
                         const char *, int, int, int, int, int, int, const char *, unsigned long, unsigned long,
                         unsigned long, int);
    static const Open minizip = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    constexpr int kInternalError = -104;    // minizip's ZIP_INTERNALERROR
    if (!minizip)
        return kInternalError;
    constexpr int kDeflated = 8;
    constexpr int kFastest = 1;
    if (method == kDeflated && level != 0)
        level = kFastest;
    return minizip(file, name, info, localExtra, localExtraSize, globalExtra, globalExtraSize, comment, method, level,
                   raw, windowBits, memLevel, strategy, password, cryptingCrc, versionMadeBy, flagBase, zip64);
}

namespace xlsx {

namespace {

// Excel refuses longer cell texts; libxlsxwriter then drops the cell silently.
constexpr qsizetype kMaxCellText = 32767;
constexpr qsizetype kMaxSheetName = 31;
constexpr size_t kScratchBuffer = 1024 * 1024;

struct WorkbookDeleter {
    void operator()(lxw_workbook *workbook) const { lxw_workbook_free(workbook); }
};

// Owns the libxlsxwriter workbook until close() hands it back to the library (which frees it).
class WorkbookOwner final {
public:
    // `constantMemory`: rows go to a scratch file in `scratchFolder` as they are finished.
    explicit WorkbookOwner(const QByteArray &fileName, bool constantMemory = false, const QByteArray &scratchFolder = {})
        : m_scratchFolder(scratchFolder)
    {
        lxw_workbook_options options{};
        options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
        // Beside the target rather than in /tmp, which may be memory itself.
        if (!m_scratchFolder.isEmpty())
            options.tmpdir = m_scratchFolder.data();
        options.use_zip64 = constantMemory ? LXW_TRUE : LXW_FALSE;
        m_workbook.reset(workbook_new_opt(fileName.constData(), &options));
    }
    WorkbookOwner(const WorkbookOwner &) = delete;
    WorkbookOwner &operator=(const WorkbookOwner &) = delete;

    lxw_workbook *get() const { return m_workbook.get(); }
    lxw_error close() { return workbook_close(m_workbook.release()); }

private:
    QByteArray m_scratchFolder;
    std::unique_ptr<lxw_workbook, WorkbookDeleter> m_workbook;
};

uint8_t border(Line line)
{
    switch (line) {
    case Line::None: return LXW_BORDER_NONE;
    case Line::Thin: return LXW_BORDER_THIN;
    case Line::Medium: return LXW_BORDER_MEDIUM;
    case Line::Thick: return LXW_BORDER_THICK;
    }
    return LXW_BORDER_NONE;
}

} // namespace

size_t qHash(const Style &s, size_t seed = 0)
{
    return qHashMulti(seed, s.bold, s.fontSize, s.fontColour.value_or(0x1000000u), s.fill.value_or(0x1000000u),
                      int(s.align), int(s.borders.left), int(s.borders.right), int(s.borders.top),
                      int(s.borders.bottom), s.numberFormat);
}

namespace {

// One lxw_format per distinct look, found by hashing: a sheet of a million cells asks for one per
// cell. The workbook owns the formats.
class Formats final {
public:
    explicit Formats(lxw_workbook *workbook) : m_workbook(workbook) {}

    lxw_format *get(const Style &style)
    {
        if (style == Style{})
            return nullptr;
        if (const auto it = m_formats.constFind(style); it != m_formats.cend())
            return *it;
        lxw_format *format = workbook_add_format(m_workbook);
        if (!format)
            return nullptr;
        if (style.bold)
            format_set_bold(format);
        if (style.fontSize > 0)
            format_set_font_size(format, style.fontSize);
        if (style.fontColour)
            format_set_font_color(format, *style.fontColour & 0xFFFFFFu);
        if (style.fill) {
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, *style.fill & 0xFFFFFFu);
        }
        switch (style.align) {
        case HAlign::General: break;
        case HAlign::Left: format_set_align(format, LXW_ALIGN_LEFT); break;
        case HAlign::Center: format_set_align(format, LXW_ALIGN_CENTER); break;
        case HAlign::Right: format_set_align(format, LXW_ALIGN_RIGHT); break;
        }
        format_set_left(format, border(style.borders.left));
        format_set_right(format, border(style.borders.right));
        format_set_top(format, border(style.borders.top));
        format_set_bottom(format, border(style.borders.bottom));
        if (!style.numberFormat.isEmpty())
            format_set_num_format(format, style.numberFormat.toUtf8().constData());
        m_formats.insert(style, format);
        return format;
    }

private:
    lxw_workbook *m_workbook;
    QHash<Style, lxw_format *> m_formats;
};

// Characters no XML document can hold: NUL (which would also end the text handed to the
// library), U+FFFE, U+FFFF and halves of surrogate pairs. They are left out, so the rest of the
// text stays whole; other control characters are escaped by the library and kept.
bool forbiddenAt(const QString &text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c.unicode() == 0 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
        return true;
    if (c.isHighSurrogate())
        return i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate();
    if (c.isLowSurrogate())
        return i == 0 || !text.at(i - 1).isHighSurrogate();
    return false;
}

QString withoutForbiddenCharacters(const QString &text)
{
    const auto forbidden = [&text](qsizetype i) { return forbiddenAt(text, i); };
    qsizetype i = 0;
    while (i < text.size() && !forbidden(i))
        ++i;
    if (i == text.size())
        return text;
    QString kept;
    kept.reserve(text.size());
    for (qsizetype j = 0; j < text.size(); ++j)
        if (!forbidden(j))
            kept.append(text.at(j));
    return kept;
}

QString fitText(const QString &text)
{
    QString fitted = withoutForbiddenCharacters(text);
    if (fitted.size() > kMaxCellText) {
        qsizetype cut = kMaxCellText;
        if (fitted.at(cut - 1).isHighSurrogate())
            --cut;
        fitted.truncate(cut);
    }
    // Excel reads "_x0041_" in a cell's text as the escape of "A"; a text that holds such a
    // sequence itself keeps it by escaping its underscore.
    if (fitted.contains(QStringLiteral("_x"))) {
        static const QRegularExpression escapeLike(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
        fitted.replace(escapeLike, QStringLiteral("_x005F_"));
    }
    return fitted;
}

// Excel's rules for sheet names: at most 31 characters, none of []:*?/\, no quote at either end,
// each name once.
QString sheetName(const QString &wanted, QSet<QString> &used)
{
    QString name = wanted;
    for (QChar &ch : name)
        if (QStringView(u"[]:*?/\\").contains(ch))
            ch = u'_';
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    name = name.left(kMaxSheetName);
    if (name.isEmpty())
        name = QStringLiteral("Hoja");
    QString unique = name;
    for (int n = 2; used.contains(unique.toCaseFolded()); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        unique = name.left(kMaxSheetName - suffix.size()) + suffix;
    }
    used.insert(unique.toCaseFolded());
    return unique;
}

// Whether a text goes into its cell as it is, with nothing to leave out, cut or escape: what
// almost every cell holds, told in one pass. Surrogate pairs go through fitText.
bool fitsAsIs(const QString &text)
{
    if (text.size() > kMaxCellText)
        return false;
    const QChar *chars = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = chars[i].unicode();
        if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE)
            return false;
        if (c == u'_' && i + 1 < n && chars[i + 1] == u'x')
            return false;
    }
    return true;
}

// The text as the library takes it (UTF-8, closed by a NUL), in a buffer kept from cell to cell:
// the library copies it, so a sheet of a million cells needs no allocation per cell for it.
const char *utf8Of(const QString &text, QByteArray &buffer)
{
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    buffer.resize(encoder.requiredSpace(text.size()) + 1);
    *encoder.appendToBuffer(buffer.data(), text) = '\0';
    return buffer.constData();
}

lxw_error writeCell(lxw_worksheet *ws, Formats &formats, QByteArray &utf8, int sheetRow, int sheetColumn,
                    const Cell &cell)
{
    const auto row = lxw_row_t(sheetRow - 1);
    const auto column = lxw_col_t(sheetColumn - 1);
    lxw_format *format = formats.get(cell.style);
    if (const QString *text = std::get_if<QString>(&cell.value)) {
        const QString fitted = fitsAsIs(*text) ? *text : fitText(*text);
        return fitted.isEmpty() ? worksheet_write_blank(ws, row, column, format)
                                : worksheet_write_string(ws, row, column, utf8Of(fitted, utf8), format);
    }
    if (const double *number = std::get_if<double>(&cell.value))
        return worksheet_write_number(ws, row, column, *number, format);
    return worksheet_write_blank(ws, row, column, format);
}

lxw_error writeSheet(lxw_workbook *workbook, Formats &formats, const Sheet &sheet, QSet<QString> &usedNames)
{
    lxw_worksheet *ws = workbook_add_worksheet(workbook, sheetName(sheet.name(), usedNames).toUtf8().constData());
    if (!ws)
        return LXW_ERROR_PARAMETER_VALIDATION;
    for (auto it = sheet.columnWidths().cbegin(); it != sheet.columnWidths().cend(); ++it) {
        const auto column = lxw_col_t(it.key() - 1);
        if (const lxw_error e = worksheet_set_column(ws, column, column, it.value(), nullptr))
            return e;
    }
    for (const Range &r : sheet.merges()) {
        const Cell *topLeft = sheet.cell(r.firstRow, r.firstColumn);
        if (const lxw_error e = worksheet_merge_range(ws, lxw_row_t(r.firstRow - 1), lxw_col_t(r.firstColumn - 1),
                                                      lxw_row_t(r.lastRow - 1), lxw_col_t(r.lastColumn - 1), "",
                                                      formats.get(topLeft ? topLeft->style : Style{})))
            return e;
    }
    QByteArray utf8;
    for (auto it = sheet.cells().cbegin(); it != sheet.cells().cend(); ++it)
        if (const lxw_error e = writeCell(ws, formats, utf8, it.key().first, it.key().second, *it))
            return e;
    return LXW_NO_ERROR;
}

// libxlsxwriter zips through minizip's zipOpen. QuaZip exports a copy of it under the same name
// that takes a QIODevice instead of a file name; should a library of the program ever bring QuaZip
// in, libxlsxwriter's calls may land there. Then a save is refused rather than crashing.
bool zipWriterIsMinizip()
{
    void *symbol = dlsym(RTLD_DEFAULT, "zipOpen");
    Dl_info info{};
    if (!symbol || dladdr(symbol, &info) == 0 || !info.dli_fname)
        return true;    // not exported by anyone: libxlsxwriter carries its own
    return !QByteArray(info.dli_fname).contains("quazip");
}

SaveResult failure(SaveResult::Status status, const QString &path, const QString &detail)
{
    const QString shown = QDir::toNativeSeparators(path);
    SaveResult result{status, {}, detail};
    if (status == SaveResult::Status::Incomplete)
        result.message = QStringLiteral("No se ha podido guardar el archivo \"%1\" completo: puede que el disco esté "
                                        "lleno o que el archivo supere el tamaño permitido. El archivo anterior se "
                                        "conserva sin cambios.")
                             .arg(shown);
    else if (status == SaveResult::Status::FolderMissing)
        result.message = QStringLiteral("No se ha podido guardar el archivo \"%1\": la carpeta \"%2\" no existe.")
                             .arg(shown, QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    else
        result.message = QStringLiteral("No se ha podido guardar el archivo \"%1\". Compruebe que la carpeta "
                                        "permite escribir y que el archivo no está abierto en otro programa.")
                             .arg(shown);
    return result;
}

} // namespace

QString withXlsxSuffix(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return path;
    return path + QStringLiteral(".xlsx");
}

namespace {

// The checks before writing and the scratch file beside the target that becomes it at the end.
struct Target {
    QFileInfo info;
    std::unique_ptr<QTemporaryFile> scratch;
    SaveResult problem;
};

Target prepareTarget(const QString &path)
{
    using Status = SaveResult::Status;
    Target t{QFileInfo(path), nullptr, {}};
    if (path.isEmpty() || !QFileInfo(t.info.absolutePath()).isDir()) {
        t.problem = failure(Status::FolderMissing, path, QStringLiteral("missing folder"));
        return t;
    }
    if (t.info.exists() && (!t.info.isFile() || !t.info.isWritable())) {
        t.problem = failure(Status::NotWritable, path, QStringLiteral("target not writable"));
        return t;
    }
    if (!zipWriterIsMinizip()) {
        t.problem = failure(Status::Failed, path, QStringLiteral("zipOpen resolves to QuaZip's copy of minizip"));
        return t;
    }
    t.scratch = std::make_unique<QTemporaryFile>(t.info.absolutePath() + QStringLiteral("/.~")
                                                 + t.info.completeBaseName() + QStringLiteral("-XXXXXX.xlsx"));
    if (!t.scratch->open()) {
        t.problem = failure(Status::NotWritable, path, t.scratch->errorString());
        t.scratch.reset();
        return t;
    }
    t.scratch->close();
    // A temporary file is private to its owner; the saved workbook gets the permissions of the one
    // it replaces, or those of an ordinary new file.
    t.scratch->setPermissions(t.info.exists() ? QFile::permissions(t.info.absoluteFilePath())
                                              : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                    | QFile::ReadOther);
    return t;
}

// The part each sheet of a workbook goes to, in the order the sheets were added.
QString sheetPart(int index)
{
    return QStringLiteral("xl/worksheets/sheet%1.xml").arg(index + 1);
}

bool holdsValue(const Cell &cell)
{
    if (const QString *text = std::get_if<QString>(&cell.value)) {
        // Whether anything is left once the characters XML cannot hold are left out.
        for (qsizetype i = 0; i < text->size(); ++i)
            if (!forbiddenAt(*text, i))
                return true;
        return false;
    }
    return std::holds_alternative<double>(cell.value);
}

SaveResult putInPlace(const QString &path, Target &t, const QHash<QString, int> &lastRows)
{
    // Only a workbook read back whole takes the place of the earlier file.
    const PackageCheck check = checkPackage(t.scratch->fileName(), lastRows);
    if (!check.ok)
        return failure(SaveResult::Status::Incomplete, path, check.detail);
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(t.scratch->fileName()).toStdString()),
                            std::filesystem::path(QFile::encodeName(t.info.absoluteFilePath()).toStdString()), error);
    if (error)
        return failure(SaveResult::Status::NotWritable, path, QString::fromStdString(error.message()));
    return {};
}

} // namespace

SaveResult save(const QString &path, const QList<Sheet> &sheets)
{
    using Status = SaveResult::Status;
    Target target = prepareTarget(path);
    if (!target.scratch)
        return target.problem;

    WorkbookOwner workbook(QFile::encodeName(target.scratch->fileName()));
    if (!workbook.get())
        return failure(Status::Failed, path, QStringLiteral("workbook_new failed"));
    Formats formats(workbook.get());
    QSet<QString> usedNames;
    const QList<Sheet> toWrite = sheets.isEmpty() ? QList<Sheet>{Sheet{}} : sheets;
    QHash<QString, int> lastRows;
    for (int i = 0; i < toWrite.size(); ++i) {
        const Sheet &sheet = toWrite.at(i);
        if (const lxw_error e = writeSheet(workbook.get(), formats, sheet, usedNames))
            return failure(Status::Failed, path, QString::fromUtf8(lxw_strerror(e)));
        int last = 0;
        for (auto it = sheet.cells().cbegin(); it != sheet.cells().cend(); ++it)
            if (holdsValue(*it))
                last = std::max(last, it.key().first);
        lastRows.insert(sheetPart(i), last);
    }
    if (const lxw_error e = workbook.close())
        return failure(Status::NotWritable, path, QString::fromUtf8(lxw_strerror(e)));
    return putInPlace(path, target, lastRows);
}

struct SheetStream::State {
    QString path;
    Target target;
    // The stdio buffer of the library's scratch file, which lives as long as the workbook does.
    // finish() flushes it before the library's close, so a close that fails early and leaves the
    // file open leaves nothing in it to be written later.
    std::unique_ptr<char[]> scratchBuffer;
    std::unique_ptr<WorkbookOwner> workbook;
    std::unique_ptr<Formats> formats;
    lxw_worksheet *sheet = nullptr;
    int lastRow = 0;
    int lastValueRow = 0;
    lxw_error error = LXW_NO_ERROR;
    QByteArray utf8;
};

SheetStream::SheetStream(const QString &path, const QString &name) : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.path = path;
    s.target = prepareTarget(path);
    if (!s.target.scratch)
        return;
    s.workbook = std::make_unique<WorkbookOwner>(QFile::encodeName(s.target.scratch->fileName()), true,
                                                 QFile::encodeName(s.target.info.absolutePath()));
    if (!s.workbook->get()) {
        s.target.problem = failure(SaveResult::Status::Failed, path, QStringLiteral("workbook_new failed"));
        s.workbook.reset();
        return;
    }
    s.formats = std::make_unique<Formats>(s.workbook->get());
    QSet<QString> used;
    s.sheet = workbook_add_worksheet(s.workbook->get(), sheetName(name, used).toUtf8().constData());
    if (!s.sheet) {
        s.error = LXW_ERROR_PARAMETER_VALIDATION;
        return;
    }
    // The library writes every row to its scratch file through stdio's buffer of a few kilobytes;
    // a larger one spares a system call every few rows. Nothing has been written there yet.
    if (s.sheet->optimize_tmpfile) {
        s.scratchBuffer = std::make_unique<char[]>(kScratchBuffer);
        setvbuf(s.sheet->optimize_tmpfile, s.scratchBuffer.get(), _IOFBF, kScratchBuffer);
    }
}

SheetStream::~SheetStream()
{
    // The library closes its scratch file only when it writes the workbook. A stream given up
    // before that would keep the file open, with every row written so far on disk, until the
    // program ends; and the file's buffer goes with this stream.
    State &s = *m_state;
    if (s.workbook && s.sheet && s.sheet->optimize_tmpfile) {
        std::fclose(s.sheet->optimize_tmpfile);
        s.sheet->optimize_tmpfile = nullptr;
        s.sheet->file = nullptr;
    }
}

void SheetStream::writeRow(int row, const RowCells &cells, const QList<Range> &merges)
{
    State &s = *m_state;
    if (!s.sheet || s.error != LXW_NO_ERROR)
        return;
    if (row <= s.lastRow) {
        s.error = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
        return;
    }
    s.lastRow = row;
    // A full disk shows on the library's scratch file: the export stops there rather than at the end.
    if (row % 4096 == 0 && s.sheet->optimize_tmpfile && ferror(s.sheet->optimize_tmpfile)) {
        s.error = LXW_ERROR_CREATING_TMPFILE;
        return;
    }
    // A merge first, then the cells: each cell keeps its own look, the first one its value.
    for (const Range &r : merges) {
        if (r.firstRow != row || r.lastRow != row) {
            s.error = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
            return;
        }
        if ((s.error = worksheet_merge_range(s.sheet, lxw_row_t(r.firstRow - 1), lxw_col_t(r.firstColumn - 1),
                                             lxw_row_t(r.lastRow - 1), lxw_col_t(r.lastColumn - 1), "", nullptr)))
            return;
    }
    for (const auto &[column, cell] : cells) {
        if ((s.error = writeCell(s.sheet, *s.formats, s.utf8, row, column, cell)))
            return;
        if (holdsValue(cell))
            s.lastValueRow = row;
    }
}

void SheetStream::setColumnWidth(int column, double width)
{
    State &s = *m_state;
    if (!s.sheet || s.error != LXW_NO_ERROR)
        return;
    const auto c = lxw_col_t(column - 1);
    s.error = worksheet_set_column(s.sheet, c, c, std::clamp(width, 0.0, kMaxColumnWidth), nullptr);
}

SaveResult SheetStream::finish()
{
    State &s = *m_state;
    if (!s.target.scratch)
        return s.target.problem;
    if (!s.workbook)
        return s.target.problem;
    if (s.error != LXW_NO_ERROR)
        return failure(SaveResult::Status::Failed, s.path, QString::fromUtf8(lxw_strerror(s.error)));
    // The rows went to the library's scratch file, whose writes it does not check: a write that
    // failed there (a full disk, a quota) left its mark on the stream.
    if (FILE *scratch = s.sheet ? s.sheet->optimize_tmpfile : nullptr; scratch && (fflush(scratch) != 0 || ferror(scratch)))
        return failure(SaveResult::Status::Incomplete, s.path, QStringLiteral("scratch sheet write failed"));
    s.sheet = nullptr;
    const lxw_error e = s.workbook->close();
    s.workbook.reset();
    if (e != LXW_NO_ERROR)
        return failure(SaveResult::Status::NotWritable, s.path, QString::fromUtf8(lxw_strerror(e)));
    return putInPlace(s.path, s.target, {{sheetPart(0), s.lastValueRow}});
}

} // namespace xlsx
