#include "platform/xlsx/xlsx_reader.h"

#include "platform/xlsx/zip_archive.h"

#include <QDate>
#include <QDir>
#include <QHash>
#include <QTime>
#include <QRegularExpression>
#include <QXmlStreamReader>


#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace xlsx {

namespace {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// A sheet's XML is read as it inflates, never whole; past this it is no sheet anyone saved.
constexpr qint64 kMaxSheetSize = 256LL * 1024 * 1024;
// Column width ranges: Excel writes them without overlap, so all of a sheet's cover at most its
// 16,384 columns; a few times that is damage, and expanding it would take as long as one likes.
constexpr qint64 kMaxWidthSpan = 4LL * kMaxColumns;

enum class Outcome { Ok, Damaged, TooLarge };

// What a workbook may cost: every cell, shared string and merge counts, whether it holds a value
// or not, so a small file that declares millions of them is refused before it takes the time and
// memory they would.
struct Budget {
    qint64 left = kMaxCells;
    bool take() { return --left >= 0; }
};

// Reads what is left of a part so its end (length and CRC) gets checked; false when damaged.
bool readToEnd(QIODevice &part)
{
    char piece[1 << 14];
    for (;;) {
        const qint64 got = part.read(piece, sizeof piece);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
    }
}

std::optional<QByteArray> readPart(const ZipArchive &zip, const QString &name)
{
    return zip.read(name);
}

// Text with Excel's escapes of characters XML cannot hold ("_x000D_") turned back.
QString unescaped(const QString &text)
{
    if (!text.contains(QStringLiteral("_x")))
        return text;
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString out;
    qsizetype from = 0;
    for (auto it = escape.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(from, m.capturedStart() - from);
        out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        from = m.capturedEnd();
    }
    out += QStringView(text).mid(from);
    return out;
}

std::optional<Rgb> colourOf(const QXmlStreamAttributes &attributes)
{
    const QStringView rgb = attributes.value(QStringLiteral("rgb"));
    if (rgb.size() < 6)
        return std::nullopt;
    bool ok = false;
    const uint value = rgb.right(6).toUInt(&ok, 16);
    return ok ? std::optional<Rgb>(value) : std::nullopt;
}

Line lineOf(QStringView style)
{
    if (style.isEmpty() || style == u"none")
        return Line::None;
    if (style == u"medium" || style == u"mediumDashed" || style == u"mediumDashDot" || style == u"mediumDashDotDot"
        || style == u"slantDashDot" || style == u"double")
        return Line::Medium;
    if (style == u"thick")
        return Line::Thick;
    return Line::Thin;
}

HAlign alignOf(QStringView horizontal)
{
    if (horizontal == u"left")
        return HAlign::Left;
    if (horizontal == u"center" || horizontal == u"centerContinuous")
        return HAlign::Center;
    if (horizontal == u"right")
        return HAlign::Right;
    return HAlign::General;
}

bool isDateFormatCode(const QString &code)
{
    QString bare;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (ch == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (ch == u'[') {
            ++bracket;
        } else if (ch == u']') {
            bracket = std::max(0, bracket - 1);
        } else if (ch == u'\\' || ch == u'_' || ch == u'*') {
            ++i;
        } else if (bracket == 0) {
            bare += ch.toLower();
        }
    }
    return bare.contains(u'd') || bare.contains(u'm') || bare.contains(u'y') || bare.contains(u'h')
        || bare.contains(u's');
}

bool isBuiltInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

struct CellFormat {
    Style style;
    bool date = false;
};

std::vector<CellFormat> readStyles(const QByteArray &xml)
{
    QHash<int, QString> customFormats;
    std::vector<Style> fonts;
    std::vector<std::optional<Rgb>> fills;
    std::vector<Borders> borders;
    struct Xf {
        int numFmt = 0, font = 0, fill = 0, border = 0;
        HAlign align = HAlign::General;
    };
    std::vector<Xf> xfs;

    QString section;   // the top-level list being read: fonts, fills, borders, cellXfs ...
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == section) {
            section.clear();
            continue;
        }
        if (!reader.isStartElement())
            continue;
        const QStringView name = reader.name();
        const QXmlStreamAttributes a = reader.attributes();
        if (name == u"numFmts" || name == u"fonts" || name == u"fills" || name == u"borders" || name == u"cellXfs"
            || name == u"cellStyleXfs" || name == u"dxfs") {
            section = name.toString();
        } else if (section == u"numFmts" && name == u"numFmt") {
            customFormats.insert(a.value(QStringLiteral("numFmtId")).toInt(), a.value(QStringLiteral("formatCode")).toString());
        } else if (section == u"fonts") {
            if (name == u"font")
                fonts.emplace_back();
            else if (!fonts.empty() && name == u"b")
                fonts.back().bold = a.value(QStringLiteral("val")) != u"0" && a.value(QStringLiteral("val")) != u"false";
            else if (!fonts.empty() && name == u"sz")
                fonts.back().fontSize = a.value(QStringLiteral("val")).toDouble();
            else if (!fonts.empty() && name == u"color")
                fonts.back().fontColour = colourOf(a);
        } else if (section == u"fills") {
            if (name == u"fill")
                fills.emplace_back();
            else if (!fills.empty() && name == u"fgColor")
                fills.back() = colourOf(a);
        } else if (section == u"borders") {
            if (name == u"border")
                borders.emplace_back();
            else if (!borders.empty()) {
                const Line line = lineOf(a.value(QStringLiteral("style")));
                if (name == u"left" || name == u"start")
                    borders.back().left = line;
                else if (name == u"right" || name == u"end")
                    borders.back().right = line;
                else if (name == u"top")
                    borders.back().top = line;
                else if (name == u"bottom")
                    borders.back().bottom = line;
            }
        } else if (section == u"cellXfs") {
            if (name == u"xf")
                xfs.push_back({a.value(QStringLiteral("numFmtId")).toInt(), a.value(QStringLiteral("fontId")).toInt(),
                               a.value(QStringLiteral("fillId")).toInt(), a.value(QStringLiteral("borderId")).toInt(),
                               HAlign::General});
            else if (!xfs.empty() && name == u"alignment")
                xfs.back().align = alignOf(a.value(QStringLiteral("horizontal")));
        }
    }

    std::vector<CellFormat> formats;
    formats.reserve(xfs.size());
    for (const Xf &xf : xfs) {
        CellFormat f;
        if (xf.font >= 0 && std::size_t(xf.font) < fonts.size())
            f.style = fonts[std::size_t(xf.font)];
        if (xf.fill >= 0 && std::size_t(xf.fill) < fills.size())
            f.style.fill = fills[std::size_t(xf.fill)];
        if (xf.border >= 0 && std::size_t(xf.border) < borders.size())
            f.style.borders = borders[std::size_t(xf.border)];
        f.style.align = xf.align;
        const auto custom = customFormats.constFind(xf.numFmt);
        if (custom != customFormats.cend())
            f.style.numberFormat = *custom;
        else if (xf.numFmt == 1)
            f.style.numberFormat = QStringLiteral("0");
        f.date = custom != customFormats.cend() ? isDateFormatCode(*custom) : isBuiltInDateFormat(xf.numFmt);
        formats.push_back(f);
    }
    return formats;
}

// The text of one <si> or <is>: every run's <t>, phonetic guides left out.
QString readRichText(QXmlStreamReader &reader)
{
    const QString element = reader.name().toString();
    QString text;
    int phonetic = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (reader.name() == u"rPh")
                ++phonetic;
            else if (reader.name() == u"t" && phonetic == 0)
                text += reader.readElementText();
        } else if (reader.isEndElement()) {
            if (reader.name() == u"rPh")
                --phonetic;
            else if (reader.name() == element)
                break;
        }
    }
    return unescaped(text);
}

Outcome readSharedStrings(const QByteArray &xml, QStringList &strings, Budget &budget)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"si") {
            if (!budget.take())
                return Outcome::TooLarge;
            strings.append(readRichText(reader));
        }
    }
    return Outcome::Ok;
}

// Excel stores a column's width with the cell padding (5 pixels of a 7-pixel digit at the
// default font) added; the width the user sets and sees is without it.
double shownWidth(double stored)
{
    if (!(stored > 0))
        return 0;
    const double pixels = std::floor(stored * 7.0 + 0.5);
    return std::max(0.0, std::round((pixels - 5.0) / 7.0 * 100.0) / 100.0);
}

// "B12" -> (12, 2); nothing for anything else.
std::optional<std::pair<int, int>> parseRef(QStringView ref)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i) {
        const char16_t letter = ref[i].toUpper().unicode();
        if (letter < u'A' || letter > u'Z')
            return std::nullopt;
        column = column * 26 + (letter - u'A' + 1);
        if (column > kMaxColumns)
            return std::nullopt;
    }
    bool ok = false;
    const int row = ref.mid(i).toInt(&ok);
    if (!ok || i == 0 || row < 1 || row > kMaxRows)
        return std::nullopt;
    return std::pair{row, column};
}

std::optional<Range> parseRange(QStringView ref)
{
    const qsizetype colon = ref.indexOf(u':');
    const auto first = parseRef(colon < 0 ? ref : ref.left(colon));
    const auto last = colon < 0 ? first : parseRef(ref.mid(colon + 1));
    if (!first || !last)
        return std::nullopt;
    return Range{first->first, first->second, last->first, last->second};
}

struct Context {
    QStringList shared;
    std::vector<CellFormat> formats;
    bool system1904 = false;
};

ReadCell readCell(QXmlStreamReader &reader, const Context &context)
{
    const QXmlStreamAttributes a = reader.attributes();
    const QString type = a.value(QStringLiteral("t")).toString();
    const int styleIndex = a.value(QStringLiteral("s")).toInt();
    ReadCell cell;
    bool isDate = false;
    if (styleIndex >= 0 && std::size_t(styleIndex) < context.formats.size()) {
        cell.style = context.formats[std::size_t(styleIndex)].style;
        isDate = context.formats[std::size_t(styleIndex)].date;
    }
    QString raw;
    bool hasValue = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (reader.name() == u"v") {
                raw = reader.readElementText();
                hasValue = true;
            } else if (reader.name() == u"is") {
                raw = readRichText(reader);
                hasValue = true;
            }
        } else if (reader.isEndElement() && reader.name() == u"c") {
            break;
        }
    }
    if (!hasValue)
        return cell;
    if (type == u"s") {
        bool ok = false;
        const int index = raw.toInt(&ok);
        cell.kind = ReadCell::Kind::Text;
        cell.text = ok && index >= 0 && index < context.shared.size() ? context.shared.at(index) : QString();
    } else if (type == u"inlineStr" || type == u"str") {
        cell.kind = ReadCell::Kind::Text;
        cell.text = type == u"str" ? unescaped(raw) : raw;
    } else if (type == u"b") {
        cell.kind = ReadCell::Kind::Boolean;
        cell.number = raw.trimmed() == u"1" ? 1 : 0;
        cell.text = cell.number != 0 ? QStringLiteral("VERDADERO") : QStringLiteral("FALSO");
    } else if (type == u"d") {
        // An ISO 8601 date, as some programs store dates instead of a day count.
        const QDate date = QDate::fromString(raw.left(10), Qt::ISODate);
        const QTime time = raw.size() > 11 ? QTime::fromString(raw.mid(11, 8), Qt::ISODate) : QTime(0, 0);
        if (date.isValid() && time.isValid()) {
            cell.kind = ReadCell::Kind::Date;
            cell.number = double(QDate(1899, 12, 30).daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
            cell.text = excelDateText(cell.number, false);
        } else {
            cell.kind = ReadCell::Kind::Text;
            cell.text = raw;
        }
    } else if (type == u"e") {
        cell.kind = ReadCell::Kind::Error;
        cell.text = raw;
    } else {
        bool ok = false;
        cell.number = raw.trimmed().toDouble(&ok);
        if (!ok) {
            cell.kind = ReadCell::Kind::Text;
            cell.text = raw;
        } else if (isDate) {
            cell.kind = ReadCell::Kind::Date;
            cell.text = excelDateText(cell.number, context.system1904);
        } else {
            cell.kind = ReadCell::Kind::Number;
            cell.text = generalNumberText(cell.number);
        }
    }
    return cell;
}

Outcome readSheet(QIODevice &part, const Context &context, ReadSheet &sheet, Budget &budget)
{
    QXmlStreamReader reader(&part);
    int row = 0;
    int column = 0;
    qint64 widthSpan = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QStringView name = reader.name();
        const QXmlStreamAttributes a = reader.attributes();
        if (name == u"row") {
            const int r = a.value(QStringLiteral("r")).toInt();
            row = r > 0 ? r : row + 1;
            column = 0;
            // Past Excel's last row: no sheet Excel could hold.
            if (row > kMaxRows)
                return Outcome::TooLarge;
        } else if (name == u"c") {
            if (!budget.take())
                return Outcome::TooLarge;
            const QStringView r = a.value(QStringLiteral("r"));
            if (!r.isEmpty()) {
                // A reference past Excel's last row or column is refused, not counted on from.
                const auto ref = parseRef(r);
                if (!ref)
                    return Outcome::TooLarge;
                row = ref->first;
                column = ref->second;
            } else {
                ++column;
            }
            if (column > kMaxColumns)
                return Outcome::TooLarge;
            const bool styled = a.value(QStringLiteral("s")).toInt() > 0;
            ReadCell cell = readCell(reader, context);
            if (row < 1 || column < 1)
                continue;
            // A cell without a value is kept only for the look it carries.
            if (cell.kind != ReadCell::Kind::Empty)
                sheet.noteUsed(row, column);
            else if (!styled)
                continue;
            sheet.cells.insert({row, column}, cell);
        } else if (name == u"col") {
            const int first = std::max(a.value(QStringLiteral("min")).toInt(), 1);
            const int last = std::min(a.value(QStringLiteral("max")).toInt(), kMaxColumns);
            if (a.hasAttribute(QStringLiteral("width")) && first <= last) {
                widthSpan += last - first + 1;
                if (widthSpan > kMaxWidthSpan)
                    return Outcome::TooLarge;
                const double shown = shownWidth(a.value(QStringLiteral("width")).toDouble());
                for (int c = first; c <= last; ++c)
                    sheet.widths.insert(c, shown);
            }
        } else if (name == u"mergeCell") {
            if (!budget.take())
                return Outcome::TooLarge;
            if (const auto range = parseRange(a.value(QStringLiteral("ref"))))
                sheet.merges.append(*range);
        }
    }
    if (reader.hasError() || !readToEnd(part))
        return Outcome::Damaged;
    return Outcome::Ok;
}

struct Relationship {
    QString type;       // the last word of its type: "officeDocument", "worksheet", "sharedStrings"...
    QString part;       // the part it points to, as a path inside the package
};

// The relationships of a part, by id. Targets are relative to the part's folder unless they begin
// with "/"; links to outside the package are left out.
QHash<QString, Relationship> readRelationships(const QByteArray &xml, const QString &folder)
{
    QHash<QString, Relationship> relationships;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (a.value(QStringLiteral("TargetMode")) == u"External")
            continue;
        const QString type = a.value(QStringLiteral("Type")).toString();
        const QString target = a.value(QStringLiteral("Target")).toString();
        const QString part = target.startsWith(u'/') ? target.mid(1) : QString(folder + target);
        relationships.insert(a.value(QStringLiteral("Id")).toString(),
                             {type.section(u'/', -1), QDir::cleanPath(part)});
    }
    return relationships;
}

QString firstOfType(const QHash<QString, Relationship> &relationships, QStringView type, const QString &fallback)
{
    for (const Relationship &r : relationships)
        if (r.type == type)
            return r.part;
    return fallback;
}

QString folderOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash + 1);
}

} // namespace

ReadBook readXlsx(const QString &path, ReadScope scope)
{
    const ZipArchive zip(path);
    if (!zip.isOpen())
        return readFailure(ReadBook::Status::Unreadable, path);

    // The package's own relationships name the workbook part; "xl/workbook.xml" is only the usual.
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    if (const auto packageRels = readPart(zip, QStringLiteral("_rels/.rels")))
        workbookPart = firstOfType(readRelationships(*packageRels, {}), u"officeDocument", workbookPart);
    const QString workbookFolder = folderOf(workbookPart);
    const QString workbookName = workbookPart.mid(workbookFolder.size());

    const auto workbookXml = readPart(zip, workbookPart);
    const auto relsXml = readPart(zip, workbookFolder + QStringLiteral("_rels/") + workbookName + QStringLiteral(".rels"));
    if (!workbookXml || !relsXml)
        return readFailure(ReadBook::Status::Unreadable, path);
    const QHash<QString, Relationship> targets = readRelationships(*relsXml, workbookFolder);

    Context context;
    struct SheetEntry {
        QString name;
        QString part;
    };
    QList<SheetEntry> entries;
    {
        QXmlStreamReader reader(*workbookXml);
        while (!reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            const QXmlStreamAttributes a = reader.attributes();
            if (reader.name() == u"workbookPr") {
                const QStringView v = a.value(QStringLiteral("date1904"));
                context.system1904 = v == u"1" || v == u"true";
            } else if (reader.name() == u"sheet") {
                // r:id, whatever prefix the writer gave the relationships' namespace.
                QString id;
                for (const QXmlStreamAttribute &attribute : a)
                    if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
                        id = attribute.value().toString();
                const auto target = targets.constFind(id);
                // Chart sheets and dialog sheets hold no cells: only worksheets are read.
                if (target != targets.cend() && target->type == u"worksheet")
                    entries.append({a.value(QStringLiteral("name")).toString(), target->part});
            }
        }
        if (reader.hasError())
            return readFailure(ReadBook::Status::Unreadable, path);
    }

    // A part the package lists but that cannot be read is damage (or a bomb), not a part to do
    // without: the texts or the dates of the cells would silently go missing.
    const auto wholePart = [&zip](const QString &part, std::optional<QByteArray> &bytes) {
        if (zip.declaredSize(part) < 0)
            return ReadBook::Status::Ok;
        bytes = readPart(zip, part);
        if (bytes)
            return ReadBook::Status::Ok;
        return zip.declaredSize(part) > ZipArchive::kMaxPartSize ? ReadBook::Status::TooLarge
                                                                : ReadBook::Status::Unreadable;
    };
    Budget budget;
    std::optional<QByteArray> shared;
    std::optional<QByteArray> styles;
    for (const auto &[part, bytes] :
         {std::pair<QString, std::optional<QByteArray> *>{
              firstOfType(targets, u"sharedStrings", workbookFolder + QStringLiteral("sharedStrings.xml")), &shared},
          std::pair<QString, std::optional<QByteArray> *>{
              firstOfType(targets, u"styles", workbookFolder + QStringLiteral("styles.xml")), &styles}}) {
        if (const ReadBook::Status status = wholePart(part, *bytes); status != ReadBook::Status::Ok)
            return readFailure(status, path);
    }
    if (shared && readSharedStrings(*shared, context.shared, budget) == Outcome::TooLarge)
        return readFailure(ReadBook::Status::TooLarge, path);
    if (styles)
        context.formats = readStyles(*styles);

    ReadBook book;
    for (const SheetEntry &entry : entries) {
        ReadSheet sheet;
        sheet.name = entry.name;
        const std::unique_ptr<QIODevice> part = zip.stream(entry.part, kMaxSheetSize);
        if (!part)
            return readFailure(zip.declaredSize(entry.part) > kMaxSheetSize ? ReadBook::Status::TooLarge
                                                                             : ReadBook::Status::Unreadable,
                               path);
        switch (readSheet(*part, context, sheet, budget)) {
        case Outcome::Ok: break;
        case Outcome::Damaged: return readFailure(ReadBook::Status::Unreadable, path);
        case Outcome::TooLarge: return readFailure(ReadBook::Status::TooLarge, path);
        }
        book.sheets.append(std::move(sheet));
        if (scope == ReadScope::FirstSheet)
            break;
    }
    if (book.sheets.isEmpty())
        return readFailure(ReadBook::Status::Unreadable, path);
    return book;
}

} // namespace xlsx
