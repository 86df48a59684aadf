#pragma once

#include <QPlainTextEdit>
#include <QString>

// The panel's boxes hold LF line breaks; the counter, the gateway and the log count and send
// CR LF, as the old text boxes did. The conversion happens here, at the widget's edge.
namespace sending {

inline QString crlfText(const QPlainTextEdit &box)
{
    QString text = box.toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

inline void setCrlfText(QPlainTextEdit &box, QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setPlainText(text);
}

} // namespace sending
