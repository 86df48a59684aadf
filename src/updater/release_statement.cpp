#include "updater/release_statement.h"

#include <QCryptographicHash>
#include <QList>

#include <array>

namespace updater {
namespace {

constexpr std::array<QByteArrayView, 5> kKeys{"producto", "archivo", "version", "bytes", "sha256"};

// The client's version check takes at most 10 characters as a version.
constexpr qsizetype kVersionLength = 10;
constexpr qsizetype kNameLength = 64;
// Far above any program, and short enough never to overflow.
constexpr qsizetype kSizeDigits = 12;
constexpr qsizetype kDigestDigits = 64;

bool allOf(QByteArrayView value, bool (*allowed)(char))
{
    for (const char c : value) {
        if (!allowed(c))
            return false;
    }
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isVersionChar(char c)
{
    return isDigit(c) || c == '.';
}

bool isNameChar(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_' || c == '-';
}

bool isLowerHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f');
}

bool isName(QByteArrayView value)
{
    return !value.isEmpty() && value.size() <= kNameLength && allOf(value, isNameChar);
}

} // namespace

ReleaseStatement describeRelease(const QString &product, const QString &file, const QString &version,
                                 const QByteArray &bytes)
{
    return {product, file, version, bytes.size(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256)};
}

QByteArray composeStatement(const ReleaseStatement &statement)
{
    const std::array<QByteArray, 5> values{statement.product.toLatin1(), statement.file.toLatin1(),
                                           statement.version.toLatin1(), QByteArray::number(statement.size),
                                           statement.sha256.toHex()};
    QByteArray text;
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        text += kKeys[i].toByteArray() + '=' + values[i] + '\n';
    return text;
}

std::optional<ReleaseStatement> parseStatement(QByteArrayView text)
{
    if (text.size() > kStatementSizeLimit || !text.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = text.chopped(1).toByteArray().split('\n');
    if (lines.size() != qsizetype(kKeys.size()))
        return std::nullopt;
    std::array<QByteArrayView, 5> values;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const QByteArrayView line(lines.at(qsizetype(i)));
        // Fixed order: a repeated or unknown key finds another key's place taken.
        if (!line.startsWith(kKeys[i]) || line.size() <= kKeys[i].size() || line.at(kKeys[i].size()) != '=')
            return std::nullopt;
        values[i] = line.sliced(kKeys[i].size() + 1);
    }
    const QByteArrayView version = values[2];
    const QByteArrayView size = values[3];
    const QByteArrayView digest = values[4];
    if (!isName(values[0]) || !isName(values[1]))
        return std::nullopt;
    if (version.isEmpty() || version.size() > kVersionLength || !allOf(version, isVersionChar))
        return std::nullopt;
    // One way only to write a number: no sign, no blank, no leading zero, never empty or zero.
    if (size.isEmpty() || size.size() > kSizeDigits || !allOf(size, isDigit) || size.front() == '0')
        return std::nullopt;
    if (digest.size() != kDigestDigits || !allOf(digest, isLowerHex))
        return std::nullopt;
    return ReleaseStatement{QString::fromLatin1(values[0]), QString::fromLatin1(values[1]),
                            QString::fromLatin1(version), size.toLongLong(),
                            QByteArray::fromHex(digest.toByteArray())};
}

} // namespace updater
