#include "platform/xlsx/workbook_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

namespace xlsx {

namespace {

// Excel refuses longer cell texts; libxlsxwriter then drops the cell silently.
constexpr qsizetype kMaxCellText = 32767;
constexpr qsizetype kMaxSheetName = 31;

struct WorkbookDeleter {
    void operator()(lxw_workbook *workbook) const { lxw_workbook_free(workbook); }
};

// Owns the libxlsxwriter workbook until close() hands it back to the library (which frees it).
class WorkbookOwner final {
public:
    explicit WorkbookOwner(const QByteArray &fileName)
    {
        lxw_workbook_options options{};
        m_workbook.reset(workbook_new_opt(fileName.constData(), &options));
    }
    WorkbookOwner(const WorkbookOwner &) = delete;
    WorkbookOwner &operator=(const WorkbookOwner &) = delete;

    lxw_workbook *get() const { return m_workbook.get(); }
    lxw_error close() { return workbook_close(m_workbook.release()); }

private:
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

// One lxw_format per distinct look; the workbook owns them.
class Formats final {
public:
    explicit Formats(lxw_workbook *workbook) : m_workbook(workbook) {}

    lxw_format *get(const Style &style)
    {
        if (style == Style{})
            return nullptr;
        for (const auto &[known, format] : m_formats)
            if (known == style)
                return format;
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
        m_formats.emplace_back(style, format);
        return format;
    }

private:
    lxw_workbook *m_workbook;
    std::vector<std::pair<Style, lxw_format *>> m_formats;
};

QString fitText(const QString &text)
{
    QString fitted = text;
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
    for (auto it = sheet.cells().cbegin(); it != sheet.cells().cend(); ++it) {
        const auto row = lxw_row_t(it.key().first - 1);
        const auto column = lxw_col_t(it.key().second - 1);
        lxw_format *format = formats.get(it->style);
        lxw_error e = LXW_NO_ERROR;
        if (const QString *text = std::get_if<QString>(&it->value))
            e = text->isEmpty() ? worksheet_write_blank(ws, row, column, format)
                                : worksheet_write_string(ws, row, column, fitText(*text).toUtf8().constData(), format);
        else if (const double *number = std::get_if<double>(&it->value))
            e = worksheet_write_number(ws, row, column, *number, format);
        else
            e = worksheet_write_blank(ws, row, column, format);
        if (e != LXW_NO_ERROR)
            return e;
    }
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
    if (status == SaveResult::Status::FolderMissing)
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

SaveResult save(const QString &path, const QList<Sheet> &sheets)
{
    using Status = SaveResult::Status;
    const QFileInfo target(path);
    if (path.isEmpty() || !QFileInfo(target.absolutePath()).isDir())
        return failure(Status::FolderMissing, path, QStringLiteral("missing folder"));
    if (target.exists() && (!target.isFile() || !target.isWritable()))
        return failure(Status::NotWritable, path, QStringLiteral("target not writable"));

    if (!zipWriterIsMinizip())
        return failure(Status::Failed, path, QStringLiteral("zipOpen resolves to QuaZip's copy of minizip"));

    QTemporaryFile scratch(target.absolutePath() + QStringLiteral("/.~") + target.completeBaseName()
                           + QStringLiteral("-XXXXXX.xlsx"));
    if (!scratch.open())
        return failure(Status::NotWritable, path, scratch.errorString());
    scratch.close();
    // A temporary file is private to its owner; the saved workbook gets the permissions of the one
    // it replaces, or those of an ordinary new file.
    scratch.setPermissions(target.exists() ? QFile::permissions(target.absoluteFilePath())
                                           : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                 | QFile::ReadOther);

    WorkbookOwner workbook(QFile::encodeName(scratch.fileName()));
    if (!workbook.get())
        return failure(Status::Failed, path, QStringLiteral("workbook_new failed"));
    Formats formats(workbook.get());
    QSet<QString> usedNames;
    const QList<Sheet> toWrite = sheets.isEmpty() ? QList<Sheet>{Sheet{}} : sheets;
    for (const Sheet &sheet : toWrite)
        if (const lxw_error e = writeSheet(workbook.get(), formats, sheet, usedNames))
            return failure(Status::Failed, path, QString::fromUtf8(lxw_strerror(e)));
    if (const lxw_error e = workbook.close())
        return failure(Status::NotWritable, path, QString::fromUtf8(lxw_strerror(e)));

    std::error_code error;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(scratch.fileName()).toStdString()),
                            std::filesystem::path(QFile::encodeName(target.absoluteFilePath()).toStdString()), error);
    if (error)
        return failure(Status::NotWritable, path, QString::fromStdString(error.message()));
    return {};
}

} // namespace xlsx
