#pragma once

// A document's tokens written out one per line, read once by the workbook's own XML scanner and
// once by Qt's XML reader, so the two can be compared: "<name a=v ...", ">name", "'text" (the
// characters between two tags joined), and at the end "." or "!" for a document refused.
#include "platform/xlsx/xml_scanner.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

namespace xmltest {

// A device that hands out at most `piece` bytes a read, as an inflating part may.
class PieceDevice final : public QIODevice {
public:
    PieceDevice(QByteArray data, qint64 piece) : m_data(std::move(data)), m_piece(piece) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        const qint64 n = std::min({max, m_piece, qint64(m_data.size()) - m_at});
        std::memcpy(out, m_data.constData() + m_at, size_t(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_piece;
    qint64 m_at = 0;
};

inline QStringList scannerTokens(const QByteArray &document, qint64 piece = 1 << 20)
{
    PieceDevice device(document, piece);
    xlsx::XmlScanner xml(device);
    QStringList out;
    QString text;
    const auto flush = [&]() {
        if (!text.isEmpty())
            out << QStringLiteral("'") + text;
        text.clear();
    };
    for (;;) {
        switch (xml.next()) {
        case xlsx::XmlScanner::Token::StartElement: {
            flush();
            QString line = QStringLiteral("<") + QString::fromUtf8(xml.name());
            for (const QByteArray &name : {QByteArrayLiteral("a"), QByteArrayLiteral("b"), QByteArrayLiteral("r"),
                                          QByteArrayLiteral("t"), QByteArrayLiteral("s")})
                if (xml.hasAttribute(name))
                    line += u' ' + QString::fromUtf8(name) + u'=' + QString::fromUtf8(xml.attribute(name));
            out << line;
            break;
        }
        case xlsx::XmlScanner::Token::EndElement:
            flush();
            out << QStringLiteral(">") + QString::fromUtf8(xml.name());
            break;
        case xlsx::XmlScanner::Token::Characters:
            text += QString::fromUtf8(xml.text());
            break;
        case xlsx::XmlScanner::Token::EndOfDocument:
            flush();
            out << QStringLiteral(".");
            return out;
        case xlsx::XmlScanner::Token::Invalid:
            out << QStringLiteral("!");
            return out;
        }
    }
}

inline QStringList qtTokens(const QByteArray &document)
{
    QBuffer device;
    device.setData(document);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&device);
    QStringList out;
    QString text;
    int depth = 0;
    const auto flush = [&]() {
        if (!text.isEmpty())
            out << QStringLiteral("'") + text;
        text.clear();
    };
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            flush();
            ++depth;
            QString line = QStringLiteral("<") + xml.name().toString();
            for (const QString &name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("r"), QStringLiteral("t"),
                                        QStringLiteral("s")}) {
                for (const QXmlStreamAttribute &a : xml.attributes())
                    if (a.name() == name) {
                        line += u' ' + name + u'=' + a.value().toString();
                        break;
                    }
            }
            out << line;
            break;
        }
        case QXmlStreamReader::EndElement:
            flush();
            --depth;
            out << QStringLiteral(">") + xml.name().toString();
            break;
        case QXmlStreamReader::Characters:
            if (depth > 0)
                text += xml.text();
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) {
        out << QStringLiteral("!");
        return out;
    }
    flush();
    out << QStringLiteral(".");
    return out;
}

} // namespace xmltest
