#include "platform/xlsx/xlsx_reader.h"

#include "platform/xlsx/number_format.h"
#include "platform/xlsx/xlsx_stream.h"
#include "platform/xlsx/xml_reader.h"
#include "platform/xlsx/zip_archive.h"

#include <QDate>
#include <QDir>
#include <QHash>
#include <QTime>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <cstring>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace xlsx {

namespace {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// A part's XML is read as it inflates, never whole. A sheet at Excel's limits with a value in
// every cell of eight columns is about half a gigabyte of XML; past this it is no sheet anyone saved.
constexpr qint64 kMaxStreamedPart = 2LL * 1024 * 1024 * 1024;
// Column width ranges: Excel writes them without overlap, so all of a sheet's cover at most its
// 16,384 columns; a few times that is damage, and expanding it would take as long as one likes.
constexpr qint64 kMaxWidthSpan = 4LL * kMaxColumns;
// Text with Excel's escapes of characters XML cannot hold ("_x000D_") turned back.
QString unescaped(const QString &text);

// A gathered text made plain; false when it is longer than a cell holds.
bool finishText(QString &text)
{
    if (text.contains(QStringLiteral("_x")))
        text = unescaped(text);
    return text.size() <= kMaxTextLength;
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

std::optional<Rgb> colourOf(const XmlReader &xml)
{
    const QByteArrayView rgb = xml.attribute("rgb");
    if (rgb.size() < 6)
        return std::nullopt;
    bool ok = false;
    const uint value = rgb.last(6).toUInt(&ok, 16);
    return ok ? std::optional<Rgb>(value) : std::nullopt;
}

Line lineOf(QByteArrayView style)
{
    if (style.isEmpty() || style == "none")
        return Line::None;
    if (style == "medium" || style == "mediumDashed" || style == "mediumDashDot" || style == "mediumDashDotDot"
        || style == "slantDashDot" || style == "double")
        return Line::Medium;
    if (style == "thick")
        return Line::Thick;
    return Line::Thin;
}

HAlign alignOf(QByteArrayView horizontal)
{
    if (horizontal == "left")
        return HAlign::Left;
    if (horizontal == "center" || horizontal == "centerContinuous")
        return HAlign::Center;
    if (horizontal == "right")
        return HAlign::Right;
    return HAlign::General;
}

struct CellFormat {
    Style style;
    NumberShape shape;
};

// A styles list (fonts, fills ...) is refused when it declares or holds more entries than Excel
// keeps; what is held is taken from the budget.
struct StyleCounter {
    ReadBudget &budget;
    qint64 entries = 0;
    bool declared(const XmlReader &xml)
    {
        bool ok = false;
        const qint64 count = xml.attribute("count").toLongLong(&ok);
        if (ok && count > kMaxStyleEntries) {
            budget.refuse(Limit::Styles);
            return false;
        }
        entries = 0;
        return true;
    }
    bool entry(qint64 heldBytes)
    {
        if (++entries > kMaxStyleEntries) {
            budget.refuse(Limit::Styles);
            return false;
        }
        return budget.take(heldBytes, Limit::Styles);
    }
};

// Each thing a part is read for earns the markup around it this many bytes, beside its own: the
// rest of a part's bytes come out of the reader's free allowance.
constexpr qint64 kMarkupPerItem = 256;
// A rich text (runs of text, each with its own look) earns at most this many bytes for each byte
// of the text it makes: room for every character escaped, or a run's look every few words. Runs
// of a character or two earn no more than their text, so splitting a text into runs buys no time.
constexpr qint64 kRichBytesPerTextByte = 8;

// What a rich text of `ownBytes` of XML making `textBytes` of text earns.
qint64 richTextAllowance(qint64 ownBytes, std::size_t textBytes)
{
    return std::min(ownBytes, kRichBytesPerTextByte * qint64(textBytes));
}

// A part the reader refused: a run of text past its bound is too long for a cell, bytes that
// carry nothing read past the allowance are too large, anything else is damage.
ReadBook::Status partFailure(const XmlReader &xml, ReadBudget &budget)
{
    switch (xml.failure()) {
    case XmlReader::Failure::LongRun:
        budget.refuse(Limit::TextLength);
        return ReadBook::Status::TooLarge;
    case XmlReader::Failure::Filler:
        budget.refuse(Limit::Filler);
        return ReadBook::Status::TooLarge;
    case XmlReader::Failure::None:
    case XmlReader::Failure::Damaged:
        break;
    }
    return ReadBook::Status::Unreadable;
}

// One cell format of the cellXfs list: where its font, fill and border sit in their lists.
struct Xf {
    int numFmt = 0, font = 0, fill = 0, border = 0;
    HAlign align = HAlign::General;
};

// The lists of the styles part, as far as they have been read.
// A custom number format: its code, and what it makes of a number, decided once when it is read.
struct CustomFormat {
    QString code;
    NumberShape shape;
};

struct StyleLists {
    QHash<int, CustomFormat> customFormats;
    std::vector<Style> fonts;
    std::vector<std::optional<Rgb>> fills;
    std::vector<Borders> borders;
    std::vector<Xf> xfs;
};

// A new entry of a list that only looks use (fonts, fills, borders): counted and paid for, and
// kept only with looks.
template <typename Entry>
bool startLooksEntry(StyleCounter &counter, bool looks, std::vector<Entry> &list)
{
    const bool fine = counter.entry(looks ? qint64(sizeof(Entry)) : 0);
    if (fine && looks)
        list.emplace_back();
    return fine;
}

// Each step below reads one start element inside its list; false when the list is refused.

bool readNumberFormat(const XmlReader &xml, StyleCounter &counter, QHash<int, CustomFormat> &customFormats)
{
    const QString code = QString::fromUtf8(xml.attribute("formatCode"));
    const bool fine = code.size() <= kMaxTextLength && counter.entry(64 + code.size() * 2);
    if (fine)
        customFormats.insert(xml.attribute("numFmtId").toInt(), {code, shapeOfFormatCode(code)});
    return fine;
}

bool readFontPart(const XmlReader &xml, QByteArrayView name, bool looks, StyleCounter &counter,
                  std::vector<Style> &fonts)
{
    if (name == "font")
        return startLooksEntry(counter, looks, fonts);
    if (!fonts.empty() && name == "b")
        fonts.back().bold = xml.attribute("val") != "0" && xml.attribute("val") != "false";
    else if (!fonts.empty() && name == "sz")
        fonts.back().fontSize = xml.attribute("val").toDouble();
    else if (!fonts.empty() && name == "color")
        fonts.back().fontColour = colourOf(xml);
    return true;
}

bool readFillPart(const XmlReader &xml, QByteArrayView name, bool looks, StyleCounter &counter,
                  std::vector<std::optional<Rgb>> &fills)
{
    if (name == "fill")
        return startLooksEntry(counter, looks, fills);
    if (!fills.empty() && name == "fgColor")
        fills.back() = colourOf(xml);
    return true;
}

bool readBorderPart(const XmlReader &xml, QByteArrayView name, bool looks, StyleCounter &counter,
                    std::vector<Borders> &borders)
{
    if (name == "border")
        return startLooksEntry(counter, looks, borders);
    if (borders.empty())
        return true;
    const Line line = lineOf(xml.attribute("style"));
    if (name == "left" || name == "start")
        borders.back().left = line;
    else if (name == "right" || name == "end")
        borders.back().right = line;
    else if (name == "top")
        borders.back().top = line;
    else if (name == "bottom")
        borders.back().bottom = line;
    return true;
}

bool readCellFormatPart(const XmlReader &xml, QByteArrayView name, StyleCounter &counter, std::vector<Xf> &xfs)
{
    if (name == "xf") {
        const bool fine = counter.entry(qint64(sizeof(Xf) + sizeof(CellFormat)));
        if (fine)
            xfs.push_back({xml.attribute("numFmtId").toInt(), xml.attribute("fontId").toInt(),
                           xml.attribute("fillId").toInt(), xml.attribute("borderId").toInt(), HAlign::General});
        return fine;
    }
    if (!xfs.empty() && name == "alignment")
        xfs.back().align = alignOf(xml.attribute("horizontal"));
    return true;
}

// One start element of the styles part: a top-level list opens `section`, an element inside one
// goes to that list's step. False when a list is refused.
bool readStyleElement(const XmlReader &xml, QByteArray &section, bool looks, StyleCounter &counter,
                      StyleLists &lists)
{
    const QByteArrayView name = xml.name();
    if (name == "numFmts" || name == "fonts" || name == "fills" || name == "borders" || name == "cellXfs"
        || name == "cellStyleXfs" || name == "dxfs" || name == "cellStyles") {
        section = name.toByteArray();
        return counter.declared(xml);
    }
    if (section == "numFmts" && name == "numFmt")
        return readNumberFormat(xml, counter, lists.customFormats);
    if (section == "fonts")
        return readFontPart(xml, name, looks, counter, lists.fonts);
    if (section == "fills")
        return readFillPart(xml, name, looks, counter, lists.fills);
    if (section == "borders")
        return readBorderPart(xml, name, looks, counter, lists.borders);
    if (section == "cellXfs")
        return readCellFormatPart(xml, name, counter, lists.xfs);
    if (!section.isEmpty() && (name == "xf" || name == "dxf" || name == "cellStyle"))
        return counter.entry(0);
    return true;
}

// A cell format put together from the lists its entry points into; an index outside its list
// leaves that part plain. Without looks only its number shape is kept.
CellFormat cellFormatOf(const Xf &xf, const StyleLists &lists, bool looks)
{
    CellFormat f;
    if (xf.font >= 0 && std::size_t(xf.font) < lists.fonts.size())
        f.style = lists.fonts[std::size_t(xf.font)];
    if (xf.fill >= 0 && std::size_t(xf.fill) < lists.fills.size())
        f.style.fill = lists.fills[std::size_t(xf.fill)];
    if (xf.border >= 0 && std::size_t(xf.border) < lists.borders.size())
        f.style.borders = lists.borders[std::size_t(xf.border)];
    f.style.align = xf.align;
    const auto custom = lists.customFormats.constFind(xf.numFmt);
    if (custom != lists.customFormats.cend())
        f.style.numberFormat = custom->code;
    else if (xf.numFmt == 1)
        f.style.numberFormat = QStringLiteral("0");
    f.shape = custom != lists.customFormats.cend() ? custom->shape : shapeOfBuiltInFormat(xf.numFmt);
    if (!looks)
        f.style = Style{};
    return f;
}

// The cell formats of the styles part into `formats`. Without looks only their number shapes are
// kept: fonts, fills and borders are counted and skipped.
ReadBook::Status readStyles(QIODevice &part, ReadBudget &budget, bool looks, std::vector<CellFormat> &formats)
{
    StyleLists lists;
    StyleCounter counter{budget};
    QByteArray section;   // the top-level list being read: fonts, fills, borders, cellXfs ...
    XmlReader xml(part);
    for (XmlReader::Token token = xml.next(); token != XmlReader::Token::EndOfDocument; token = xml.next()) {
        if (token == XmlReader::Token::Invalid)
            return partFailure(xml, budget);
        if (token == XmlReader::Token::EndElement && xml.name() == section) {
            section.clear();
            continue;
        }
        if (token != XmlReader::Token::StartElement)
            continue;
        const qint64 entriesBefore = counter.entries;
        if (!readStyleElement(xml, section, looks, counter, lists))
            return ReadBook::Status::TooLarge;
        // An entry of a list earns its share of markup (a font's size, colour and name ...).
        if (counter.entries > entriesBefore)
            xml.allow(4 * kMarkupPerItem);
    }

    formats.clear();
    formats.reserve(lists.xfs.size());
    for (const Xf &xf : lists.xfs)
        formats.push_back(cellFormatOf(xf, lists, looks));
    return ReadBook::Status::Ok;
}

// Bytes of UTF-8 into `out`, reusing its storage: most texts then allocate nothing. False when
// they are no UTF-8 (a damaged part: a full XML reader refuses it too).
bool setUtf8(QString &out, QByteArrayView bytes)
{
    // UTF-8 never takes fewer bytes than UTF-16 takes characters.
    out.resize(bytes.size());
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QChar *end = decoder.appendToBuffer(out.data(), bytes);
    out.resize(end - out.constData());
    return !decoder.hasError();
}

enum class TextRead { Ok, TooLong, Invalid };

// The text of one <si> or <is> (the scanner stands on its start) into `bytes`: every run's <t>,
// phonetic guides left out. The scanner ends on its end.
TextRead readRichText(XmlReader &xml, std::string &bytes)
{
    bytes.clear();
    int depth = 0;
    int phonetic = 0;
    bool inText = false;
    for (;;) {
        switch (xml.next()) {
        case XmlReader::Token::StartElement:
            ++depth;
            if (xml.name() == "rPh")
                ++phonetic;
            else if (xml.name() == "t")
                inText = phonetic == 0;
            break;
        case XmlReader::Token::Characters:
            if (inText) {
                bytes.append(xml.text().data(), std::size_t(xml.text().size()));
                // Room for Excel's escapes of characters XML cannot hold, each 7 for 1.
                if (qsizetype(bytes.size()) > kMaxTextLength * 8 * 3)
                    return TextRead::TooLong;
            }
            break;
        case XmlReader::Token::EndElement:
            if (depth == 0)
                return TextRead::Ok;
            --depth;
            if (xml.name() == "rPh")
                --phonetic;
            else if (xml.name() == "t")
                inText = false;
            break;
        case XmlReader::Token::EndOfDocument:
        case XmlReader::Token::Invalid:
            return TextRead::Invalid;
        }
    }
}

// A gathered text made plain into `text`.
TextRead finishText(const std::string &bytes, QString &text)
{
    if (!setUtf8(text, QByteArrayView(bytes.data(), qsizetype(bytes.size()))))
        return TextRead::Invalid;
    return finishText(text) ? TextRead::Ok : TextRead::TooLong;
}

ReadBook::Status readSharedStrings(QIODevice &part, TextTable &strings, ReadBudget &budget)
{
    XmlReader xml(part);
    std::string bytes;
    QString text;
    while (xml.nextStartElement() == XmlReader::Token::StartElement) {
        if (xml.name() == "sst") {
            // The count it declares is refused at once when even its index would not fit. It is
            // only a hint: a negative one is passed over, the texts are taken from the budget as they come.
            bool ok = false;
            const qint64 declared = xml.attribute("uniqueCount").toLongLong(&ok);
            // A count past what any budget holds would overflow the product: it is refused as well.
            const bool beyondAny = declared > std::numeric_limits<qint64>::max() / TextTable::kCostPerText;
            if (ok && declared >= 0 && (beyondAny || !budget.fits(declared * TextTable::kCostPerText))) {
                budget.refuse(Limit::Strings);
                return ReadBook::Status::TooLarge;
            }
        } else if (xml.name() == "si") {
            const qint64 from = xml.offset();
            TextRead read = readRichText(xml, bytes);
            if (read == TextRead::Ok)
                read = finishText(bytes, text);
            if (read == TextRead::Invalid)
                return partFailure(xml, budget);
            if (read == TextRead::TooLong) {
                budget.refuse(Limit::TextLength);
                return ReadBook::Status::TooLarge;
            }
            if (strings.append(text, budget) < 0)
                return ReadBook::Status::TooLarge;
            xml.allow(richTextAllowance(xml.offset() - from, bytes.size()) + kMarkupPerItem);
        }
    }
    if (xml.token() == XmlReader::Token::Invalid)
        return partFailure(xml, budget);
    return ReadBook::Status::Ok;
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
std::optional<std::pair<int, int>> parseRef(QByteArrayView ref)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size(); ++i) {
        const char letter = ref[i] >= 'a' && ref[i] <= 'z' ? char(ref[i] - 'a' + 'A') : ref[i];
        if (letter < 'A' || letter > 'Z')
            break;
        column = column * 26 + (letter - 'A' + 1);
        if (column > kMaxColumns)
            return std::nullopt;
    }
    bool ok = false;
    const int row = ref.sliced(i).toInt(&ok);
    if (!ok || i == 0 || row < 1 || row > kMaxRows)
        return std::nullopt;
    return std::pair{row, column};
}

// Letters then digits, as a cell reference is written, whatever their values.
bool isReferenceShape(QByteArrayView ref)
{
    qsizetype letters = 0;
    while (letters < ref.size() && ((ref[letters] >= 'A' && ref[letters] <= 'Z') || (ref[letters] >= 'a' && ref[letters] <= 'z')))
        ++letters;
    qsizetype digits = letters;
    while (digits < ref.size() && ref[digits] >= '0' && ref[digits] <= '9')
        ++digits;
    return letters > 0 && digits > letters && digits == ref.size();
}

std::optional<Range> parseRange(QByteArrayView ref)
{
    const qsizetype colon = ref.indexOf(':');
    const auto first = parseRef(colon < 0 ? ref : ref.first(colon));
    const auto last = colon < 0 ? first : parseRef(ref.sliced(colon + 1));
    if (!first || !last)
        return std::nullopt;
    return Range{first->first, first->second, last->first, last->second};
}

struct Relationship {
    QString type;       // the last word of its type: "officeDocument", "worksheet", "sharedStrings"...
    QString part;       // the part it points to, as a path inside the package
};

// The relationships of a part, by id, into `relationships`. Targets are relative to the part's
// folder unless they begin with "/"; links to outside the package are left out.
ReadBook::Status readRelationships(QIODevice &part, const QString &folder, QHash<QString, Relationship> &relationships,
                                   ReadBudget &budget)
{
    XmlReader xml(part);
    while (xml.nextStartElement() == XmlReader::Token::StartElement) {
        if (xml.name() != "Relationship" || xml.attribute("TargetMode") == "External")
            continue;
        const QString type = QString::fromUtf8(xml.attribute("Type"));
        const QString target = QString::fromUtf8(xml.attribute("Target"));
        const QString id = QString::fromUtf8(xml.attribute("Id"));
        const QString path = target.startsWith(u'/') ? target.mid(1) : QString(folder + target);
        Relationship relationship{type.section(u'/', -1), QDir::cleanPath(path)};
        const qint64 cost = (id.size() + relationship.type.size() + relationship.part.size()) * 2 + kMarkupPerItem;
        if (!budget.take(cost, Limit::Cells))
            return ReadBook::Status::TooLarge;
        relationships.insert(id, std::move(relationship));
        xml.allow(kMarkupPerItem + 4 * (type.size() + target.size()));
    }
    return xml.token() == XmlReader::Token::Invalid ? partFailure(xml, budget) : ReadBook::Status::Ok;
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

struct XlsxWorkbook::Private {
    Private(const QString &path, ReadBudget &b, bool keepLooks) : zip(path), budget(b), looks(keepLooks) {}
    ZipArchive zip;
    ReadBudget &budget;
    bool looks;         // styled empty cells are handed over, with their looks
    struct SheetEntry {
        QString name;
        QString part;
    };
    QList<SheetEntry> entries;
    std::vector<CellFormat> formats;
    bool system1904 = false;

    // A part the package lists, inflating as it is read; Ok with nothing when it is not there.
    ReadBook::Status open(const QString &part, std::unique_ptr<QIODevice> &device) const
    {
        if (zip.declaredSize(part) < 0)
            return ReadBook::Status::Ok;
        device = zip.stream(part, kMaxStreamedPart);
        if (!device) {
            if (zip.declaredSize(part) > kMaxStreamedPart) {
                budget.refuse(Limit::Cells);
                return ReadBook::Status::TooLarge;
            }
            return ReadBook::Status::Unreadable;
        }
        return ReadBook::Status::Ok;
    }

    // The workbook part's sheet list (worksheets only, by their relationships) and date system.
    ReadBook::Status readSheetList(QIODevice &part, const QHash<QString, Relationship> &targets)
    {
        XmlReader xml(part);
        while (xml.nextStartElement() == XmlReader::Token::StartElement) {
            if (xml.name() == "workbookPr") {
                const QByteArrayView v = xml.attribute("date1904");
                system1904 = v == "1" || v == "true";
            } else if (xml.name() == "sheet") {
                // r:id, whatever prefix the writer gave the relationships' namespace.
                const auto target = targets.constFind(QString::fromUtf8(xml.namespacedAttribute("id")));
                // Chart sheets and dialog sheets hold no cells: only worksheets are read.
                if (target == targets.cend() || target->type != u"worksheet")
                    continue;
                SheetEntry entry{QString::fromUtf8(xml.attribute("name")), target->part};
                if (!budget.take((entry.name.size() + entry.part.size()) * 2 + kMarkupPerItem, Limit::Cells))
                    return ReadBook::Status::TooLarge;
                entries.append(std::move(entry));
                xml.allow(kMarkupPerItem);
            }
        }
        return xml.token() == XmlReader::Token::Invalid ? partFailure(xml, budget) : ReadBook::Status::Ok;
    }

    enum class CellRead { Ok, TooLong, Invalid };

    // Reads the cell the scanner stands on (its <c> start); the scanner ends on its </c>.
    CellRead readCell(XmlReader &xml, StreamedCell &cell) const
    {
        enum class Type { Number, Shared, Inline, Formula, Boolean, IsoDate, Error };
        const QByteArrayView typeName = xml.attribute("t");
        const Type type = typeName == "s"           ? Type::Shared
                        : typeName == "inlineStr" ? Type::Inline
                        : typeName == "str"       ? Type::Formula
                        : typeName == "b"         ? Type::Boolean
                        : typeName == "d"         ? Type::IsoDate
                        : typeName == "e"         ? Type::Error
                                                  : Type::Number;
        cell.format = xml.attribute("s").toInt();
        cell.kind = ReadCell::Kind::Empty;
        cell.shared = -1;
        cell.text.clear();
        cell.number = 0;
        m_richUnearned = 0;
        const NumberShape shape = cell.format >= 0 && std::size_t(cell.format) < formats.size()
                                ? formats[std::size_t(cell.format)].shape : NumberShape{};
        // One buffer for every cell's value: most cells then allocate nothing to be read.
        std::string &raw = m_raw;
        raw.clear();
        bool hasValue = false;
        bool rich = false;      // the value is an inline text, already made plain in m_text
        bool inValue = false;
        int depth = 0;
        for (bool inCell = true; inCell;) {
            switch (xml.next()) {
            case XmlReader::Token::Characters:
                if (inValue) {
                    raw.append(xml.text().data(), std::size_t(xml.text().size()));
                    if (qsizetype(raw.size()) > kMaxTextLength * 3)
                        return CellRead::TooLong;
                }
                break;
            case XmlReader::Token::StartElement:
                if (depth == 0 && xml.name() == "v") {
                    raw.clear();
                    inValue = true;
                    hasValue = true;
                    rich = false;
                } else if (depth == 0 && xml.name() == "is") {
                    const qint64 richFrom = xml.offset();
                    TextRead read = readRichText(xml, m_richBytes);
                    m_richUnearned = xml.offset() - richFrom - richTextAllowance(xml.offset() - richFrom, m_richBytes.size());
                    if (read == TextRead::Ok)
                        read = finishText(m_richBytes, m_text);
                    if (read == TextRead::Invalid)
                        return CellRead::Invalid;
                    if (read == TextRead::TooLong)
                        return CellRead::TooLong;
                    hasValue = true;
                    rich = true;
                    break;     // readRichText ended on </is>
                }
                ++depth;
                break;
            case XmlReader::Token::EndElement:
                if (depth == 0) {
                    inCell = false;
                    break;
                }
                --depth;
                if (depth == 0 && xml.name() == "v")
                    inValue = false;
                break;
            case XmlReader::Token::EndOfDocument:
            case XmlReader::Token::Invalid:
                return CellRead::Invalid;
            }
        }
        if (!hasValue)
            return CellRead::Ok;
        const QByteArrayView bytes(raw.data(), qsizetype(raw.size()));
        // The value as text, made only for the kinds that keep one: numbers and shared-text
        // indexes are read from the bytes.
        bool converted = rich;
        bool notUtf8 = false;
        const auto text = [&]() -> const QString & {
            if (!converted)
                notUtf8 = !setUtf8(m_text, bytes);
            converted = true;
            return m_text;
        };
        if (bytes.size() > kMaxTextLength && text().size() > kMaxTextLength)
            return CellRead::TooLong;
        switch (type) {
        case Type::Shared: {
            bool ok = false;
            const qsizetype index = rich ? text().trimmed().toLongLong(&ok) : bytes.trimmed().toLongLong(&ok);
            cell.kind = ReadCell::Kind::Text;
            if (ok && index >= 0 && index < sharedCount)
                cell.shared = index;
            break;
        }
        case Type::Inline:
            cell.kind = ReadCell::Kind::Text;
            cell.text = text();
            break;
        case Type::Formula:
            cell.kind = ReadCell::Kind::Text;
            cell.text = unescaped(text());
            break;
        case Type::Boolean:
            cell.kind = ReadCell::Kind::Boolean;
            cell.number = text().trimmed() == u"1" ? 1 : 0;
            cell.text = cell.number != 0 ? QStringLiteral("VERDADERO") : QStringLiteral("FALSO");
            break;
        case Type::IsoDate: {
            // An ISO 8601 date, as some programs store dates instead of a day count.
            const QString &value = text();
            const QDate date = QDate::fromString(value.left(10), Qt::ISODate);
            const QTime time = value.size() > 11 ? QTime::fromString(value.mid(11, 8), Qt::ISODate) : QTime(0, 0);
            if (date.isValid() && time.isValid()) {
                cell.kind = ReadCell::Kind::Date;
                cell.number = double(QDate(1899, 12, 30).daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
                cell.text = excelDateText(cell.number, false);
            } else {
                cell.kind = ReadCell::Kind::Text;
                cell.text = value;
            }
            break;
        }
        case Type::Error:
            cell.kind = ReadCell::Kind::Error;
            cell.text = text();
            break;
        case Type::Number: {
            bool ok = false;
            cell.number = rich ? text().trimmed().toDouble(&ok) : bytes.trimmed().toDouble(&ok);
            if (!ok) {
                cell.kind = ReadCell::Kind::Text;
                cell.text = text();
            } else if (shape.kind == NumberShape::Kind::Date) {
                cell.kind = ReadCell::Kind::Date;
                cell.text = excelDateText(cell.number, system1904);
            } else if (shape.kind != NumberShape::Kind::Number) {
                cell.kind = ReadCell::Kind::Time;
                cell.text = shapedNumberText(cell.number, shape, system1904);
            } else {
                cell.kind = ReadCell::Kind::Number;
                cell.text = generalNumberText(cell.number);
            }
            break;
        }
        }
        return notUtf8 ? CellRead::Invalid : CellRead::Ok;
    }

    qsizetype sharedCount = 0;
    // The bytes of the last cell's inline rich text past what its text earns.
    mutable qint64 m_richUnearned = 0;
    mutable std::string m_raw;
    mutable std::string m_richBytes;
    mutable QString m_text;
};

XlsxWorkbook::XlsxWorkbook(const QString &path, ReadBudget &budget, Looks looks)
    : d(std::make_unique<Private>(path, budget, looks == Looks::Keep)), m_shared(std::make_shared<TextTable>())
{
    const ZipArchive &zip = d->zip;
    if (!zip.isOpen())
        return;

    // The package's own relationships name the workbook part; "xl/workbook.xml" is only the usual.
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    std::unique_ptr<QIODevice> part;
    if (m_status = d->open(QStringLiteral("_rels/.rels"), part); m_status != ReadBook::Status::Ok)
        return;
    if (part) {
        QHash<QString, Relationship> packageRels;
        if (m_status = readRelationships(*part, {}, packageRels, budget); m_status != ReadBook::Status::Ok)
            return;
        workbookPart = firstOfType(packageRels, u"officeDocument", workbookPart);
    }
    const QString workbookFolder = folderOf(workbookPart);
    const QString workbookName = workbookPart.mid(workbookFolder.size());

    QHash<QString, Relationship> targets;
    if (m_status = d->open(workbookFolder + QStringLiteral("_rels/") + workbookName + QStringLiteral(".rels"), part);
        m_status != ReadBook::Status::Ok)
        return;
    m_status = part ? readRelationships(*part, workbookFolder, targets, budget) : ReadBook::Status::Unreadable;
    if (m_status != ReadBook::Status::Ok)
        return;
    if (m_status = d->open(workbookPart, part); m_status != ReadBook::Status::Ok)
        return;
    m_status = part ? d->readSheetList(*part, targets) : ReadBook::Status::Unreadable;
    if (m_status != ReadBook::Status::Ok)
        return;
    if (d->entries.isEmpty()) {
        m_status = ReadBook::Status::Unreadable;
        return;
    }

    // A part the package lists but that cannot be read is damage (or a bomb), not a part to do
    // without: the texts or the dates of the cells would silently go missing.
    std::unique_ptr<QIODevice> styles;
    m_status = d->open(firstOfType(targets, u"styles", workbookFolder + QStringLiteral("styles.xml")), styles);
    if (m_status == ReadBook::Status::Ok && styles)
        m_status = readStyles(*styles, budget, looks == Looks::Keep, d->formats);
    if (m_status != ReadBook::Status::Ok)
        return;

    std::unique_ptr<QIODevice> shared;
    m_status = d->open(firstOfType(targets, u"sharedStrings", workbookFolder + QStringLiteral("sharedStrings.xml")),
                       shared);
    if (m_status == ReadBook::Status::Ok && shared)
        m_status = readSharedStrings(*shared, *m_shared, budget);
    d->sharedCount = m_shared->size();
}

XlsxWorkbook::~XlsxWorkbook() = default;

qsizetype XlsxWorkbook::sheetCount() const
{
    return d->entries.size();
}

QString XlsxWorkbook::sheetName(qsizetype index) const
{
    return d->entries.value(index).name;
}

Style XlsxWorkbook::style(int format) const
{
    return format >= 0 && std::size_t(format) < d->formats.size() ? d->formats[std::size_t(format)].style : Style{};
}

ReadBook::Status XlsxWorkbook::readSheet(qsizetype index, SheetVisitor &visitor)
{
    if (m_status != ReadBook::Status::Ok || index < 0 || index >= d->entries.size())
        return ReadBook::Status::Unreadable;
    ReadBudget &budget = d->budget;
    std::unique_ptr<QIODevice> part;
    if (const ReadBook::Status opened = d->open(d->entries.at(index).part, part); opened != ReadBook::Status::Ok)
        return opened;
    if (!part)
        return ReadBook::Status::Unreadable;
    const auto tooLarge = [&budget](Limit limit) {
        budget.refuse(limit);
        return ReadBook::Status::TooLarge;
    };

    XmlReader xml(*part);
    const auto failed = [&]() { return partFailure(xml, budget); };
    int row = 0;
    int column = 0;
    qint64 widthSpan = 0;
    StreamedCell cell;
    while (xml.nextStartElement() == XmlReader::Token::StartElement) {
        const QByteArrayView name = xml.name();
        if (name == "c") {
            const qint64 from = xml.offset();
            const QByteArrayView r = xml.attribute("r");
            if (!r.isEmpty()) {
                // A reference past Excel's last row or column is refused as too large, not counted
                // on from; one that is no reference at all (no column, no row) is damage.
                const auto ref = parseRef(r);
                if (!ref)
                    return isReferenceShape(r) ? tooLarge(Limit::ExcelBounds) : ReadBook::Status::Unreadable;
                row = ref->first;
                column = ref->second;
            } else {
                ++column;
            }
            if (column > kMaxColumns)
                return tooLarge(Limit::ExcelBounds);
            switch (d->readCell(xml, cell)) {
            case Private::CellRead::TooLong:
                return tooLarge(Limit::TextLength);
            case Private::CellRead::Invalid:
                return failed();
            case Private::CellRead::Ok:
                break;
            }
            if (row < 1 || column < 1)
                continue;
            // A cell without a value matters only for the look it carries, and only to a reading
            // that keeps looks: to any other it is dropped here, earning nothing.
            if (cell.kind == ReadCell::Kind::Empty && (cell.format <= 0 || !d->looks))
                continue;
            cell.row = row;
            cell.column = column;
            if (!visitor.cell(cell))
                return ReadBook::Status::TooLarge;
            // A cell handed over (a value, or a look the visitor keeps and pays for) earns its own
            // bytes, all but the runs of a rich text past what its text earns, and its share of
            // the row around it; everything else comes out of the reader's free allowance.
            xml.allow(xml.offset() - from - d->m_richUnearned + kMarkupPerItem);
        } else if (name == "row") {
            const int r = xml.attribute("r").toInt();
            row = r > 0 ? r : row + 1;
            column = 0;
            // Past Excel's last row: no sheet Excel could hold.
            if (row > kMaxRows)
                return tooLarge(Limit::ExcelBounds);
        } else if (name == "dimension") {
            // The used range the sheet declares: past Excel's bounds it is no sheet Excel wrote.
            const QByteArrayView ref = xml.attribute("ref");
            if (!ref.isEmpty() && !parseRange(ref)) {
                const qsizetype colon = ref.indexOf(':');
                const QString last = QString::fromUtf8(colon < 0 ? ref : ref.sliced(colon + 1));
                // Only a well-formed reference past the bounds counts; anything else is ignored.
                static const QRegularExpression shape(QStringLiteral("^[A-Za-z]{1,4}[0-9]{1,10}$"));
                if (shape.match(last).hasMatch())
                    return tooLarge(Limit::ExcelBounds);
            }
        } else if (name == "col") {
            const int first = std::max(xml.attribute("min").toInt(), 1);
            const int last = std::min(xml.attribute("max").toInt(), kMaxColumns);
            if (xml.hasAttribute("width") && first <= last) {
                widthSpan += last - first + 1;
                if (widthSpan > kMaxWidthSpan)
                    return tooLarge(Limit::ExcelBounds);
                if (!visitor.width(first, last, shownWidth(xml.attribute("width").toDouble())))
                    return ReadBook::Status::TooLarge;
            }
        } else if (name == "mergeCell") {
            if (const auto range = parseRange(xml.attribute("ref")))
                if (!visitor.merge(*range))
                    return ReadBook::Status::TooLarge;
        }
    }
    if (xml.token() == XmlReader::Token::Invalid)
        return failed();
    return ReadBook::Status::Ok;
}

namespace {

// What one held cell costs besides its text: the cell, its key and the hash's bookkeeping.
constexpr qint64 kHeldCellCost = qint64(sizeof(ReadCell) + sizeof(std::pair<int, int>)) + 16;

// A whole sheet kept as ReadSheet (looks, merges, widths), taken from the budget as it grows.
class HeldSheet final : public SheetVisitor {
public:
    HeldSheet(const XlsxWorkbook &book, ReadSheet &sheet, ReadBudget &budget)
        : m_book(book), m_sheet(sheet), m_budget(budget)
    {
    }
    bool cell(const StreamedCell &streamed) override
    {
        ReadCell cell;
        cell.kind = streamed.kind;
        cell.number = streamed.number;
        cell.text = streamed.shared >= 0 ? m_book.sharedTexts().at(streamed.shared).toString() : streamed.text;
        if (streamed.format > 0)
            cell.style = m_book.style(streamed.format);
        if (!m_budget.take(kHeldCellCost + cell.text.size() * 2 + cell.style.numberFormat.size() * 2, Limit::Cells))
            return false;
        if (cell.kind != ReadCell::Kind::Empty)
            m_sheet.noteUsed(streamed.row, streamed.column);
        m_sheet.cells.insert({streamed.row, streamed.column}, std::move(cell));
        return true;
    }
    bool merge(const Range &range) override
    {
        if (!m_budget.take(qint64(sizeof(Range)) + 8, Limit::Merges))
            return false;
        m_sheet.merges.append(range);
        return true;
    }
    bool width(int first, int last, double shown) override
    {
        for (int c = first; c <= last; ++c)
            m_sheet.widths.insert(c, shown);
        return true;
    }

private:
    const XlsxWorkbook &m_book;
    ReadSheet &m_sheet;
    ReadBudget &m_budget;
};

} // namespace

ReadBook readXlsx(const QString &path, ReadScope scope, qint64 budgetBytes)
{
    ReadBudget budget(budgetBytes);
    XlsxWorkbook workbook(path, budget, XlsxWorkbook::Looks::Keep);
    if (workbook.status() != ReadBook::Status::Ok)
        return readFailure(workbook.status(), path, budget);

    ReadBook book;
    for (qsizetype index = 0; index < workbook.sheetCount(); ++index) {
        ReadSheet sheet;
        sheet.name = workbook.sheetName(index);
        HeldSheet held(workbook, sheet, budget);
        if (const ReadBook::Status status = workbook.readSheet(index, held); status != ReadBook::Status::Ok)
            return readFailure(status, path, budget);
        book.sheets.append(std::move(sheet));
        if (scope == ReadScope::FirstSheet)
            break;
    }
    if (book.sheets.isEmpty())
        return readFailure(ReadBook::Status::Unreadable, path);
    return book;
}

} // namespace xlsx
