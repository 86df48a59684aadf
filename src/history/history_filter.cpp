#include "history/history_filter.h"

#include "sending/phone_rules.h"

namespace history {

namespace {

bool isSpanishMobile(QStringView nineDigits)
{
    return nineDigits.size() == 9 && (nineDigits.front() == QLatin1Char('6') || nineDigits.front() == QLatin1Char('7'));
}

// The forms a send to this number may have been stored in: with the Spanish prefix and without.
QStringList storedForms(const QString &t)
{
    QStringList forms{t};
    if (isSpanishMobile(t))
        forms.append(QStringLiteral("34") + t);
    else if (t.size() == 11 && t.startsWith(QLatin1String("34")) && isSpanishMobile(QStringView(t).mid(2)))
        forms.append(t.mid(2));
    return forms;
}

void append(Condition &c, const QString &clause, const QVariantList &values)
{
    c.sql = c.sql.isEmpty() ? clause : c.sql + QStringLiteral(" AND") + clause;
    c.values += values;
}

} // namespace

QString filterPhone(const QString &typed)
{
    QString t = typed;
    sending::phone::addMobilePrefix(t, u"6");
    sending::phone::removeChars(t, u" +");
    sending::phone::removeLeading(t, u"0");
    return t;
}

FilterResult buildHistoryFilter(const FilterPanel &panel)
{
    FilterResult r;
    Condition &c = r.condition;
    r.phone = panel.phone;

    if (panel.byDate) {
        // Stored times are "yyyy-mm-dd hh:mm"; " 24:00:00" keeps the whole last day in.
        append(c, QStringLiteral(" (f_envio>=? AND f_envio<=?)"),
               QVariantList{QString(panel.fromDate + QStringLiteral(" 00:00:00")),
                            QString(panel.toDate + QStringLiteral(" 24:00:00"))});
    }

    if (panel.byPhone) {
        const QString t = filterPhone(panel.phone);
        r.phone = t;
        if (!t.isEmpty()) {
            if (t.size() >= 8) {
                // A whole member of the recipient list, never a number that merely contains it.
                QStringList parts;
                QVariantList values;
                for (const QString &form : storedForms(t)) {
                    parts.append(QStringLiteral("instr(',' || destinatario || ',', ',' || ? || ',') > 0"));
                    values.append(form);
                }
                append(c, QStringLiteral(" (") + parts.join(QStringLiteral(" OR ")) + QStringLiteral(")"), values);
            } else {
                append(c, QStringLiteral(" ( destinatario LIKE '%' || ? || '%')"), QVariantList{t});
            }
        }
    }

    if (panel.byText && !panel.text.isEmpty()) {
        append(c,
               panel.text.size() > kMaxPatternText ? QStringLiteral(" instr(fold(mensaje), fold(?)) > 0")
                                                   : QStringLiteral(" mensaje LIKE '%' || ? || '%'"),
               QVariantList{panel.text});
    }

    return r;
}

} // namespace history
