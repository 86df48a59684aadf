#include "sending/placeholders.h"

namespace sending {
namespace {

const QString kMissingTitle = QStringLiteral("Faltan datos personalizados");
const QString kConfirmTitle = QStringLiteral("Confirmar datos personalizados");

struct FoundKeyword {
    ContactField field;
    QStringList spellings;   // the spellings the message holds
};

std::vector<FoundKeyword> keywordsIn(const QString &message)
{
    std::vector<FoundKeyword> found;
    if (!message.contains(QLatin1Char('[')))
        return found;
    for (const auto &keyword : contactKeywords()) {
        QStringList spellings = spellingsIn(message, keyword.field);
        if (!spellings.isEmpty())
            found.push_back({keyword.field, std::move(spellings)});
    }
    return found;
}

bool anyContains(const QString &text, const QStringList &spellings, QString (*form)(QStringView))
{
    for (const QString &name : spellings) {
        if (text.contains(form(name)))
            return true;
    }
    return false;
}

qsizetype formLength(const QString &text, const QStringList &spellings, QString (*form)(QStringView))
{
    for (const QString &name : spellings) {
        if (text.contains(form(name)))
            return form(name).size();
    }
    return 0;
}

} // namespace

QString safeValue(QString value)
{
    value.replace(QLatin1Char('|'), QChar(0x00A6));
    return value;
}

PersonalValues collectPersonalValues(const QString &message, const QStringList &numbers, const ContactBook &book,
                                      const AskValue &ask)
{
    PersonalValues result;
    const std::vector<FoundKeyword> found = keywordsIn(message);
    if (found.empty())
        return result;

    std::array<QStringList, kContactFieldCount> lists;
    for (const FoundKeyword &keyword : found)
        lists[static_cast<std::size_t>(keyword.field)].reserve(numbers.size());

    for (const QString &number : numbers) {
        const auto contactIt = book.constFind(number);
        const ContactValues *contact = contactIt == book.constEnd() ? nullptr : &contactIt.value();
        QString draft = message;
        for (const FoundKeyword &keyword : found) {
            const QString &name = keyword.spellings.first();
            // A plain keyword anywhere in the text takes the stored value without asking, even
            // when the same keyword is also written to be confirmed.
            const bool confirm = !anyContains(draft, keyword.spellings, &plainForm)
                                 && anyContains(draft, keyword.spellings, &confirmForm);
            std::optional<QString> stored;
            if (contact)
                stored = (*contact)[keyword.field];

            std::optional<QString> answer;
            if (!confirm && stored && !stored->isEmpty()) {
                answer = stored;
            } else if (confirm && stored) {
                const qsizetype room = draft.size() + stored->size() - formLength(draft, keyword.spellings, &confirmForm);
                const QString contactName = contact ? (*contact)[ContactField::Name].value_or(QString()) : QString();
                answer = ask(QStringLiteral("Para el número: ") + number + QStringLiteral(" (Nombre: ") + contactName
                                + QStringLiteral(") se sustituirá la palabra [") + name
                                + QStringLiteral("_CONFIRMAR] por ") + *stored
                                + QStringLiteral(". Es esto correcto? Caracteres: ") + QString::number(room),
                            kConfirmTitle, *stored);
            } else if (confirm) {
                answer = ask(QStringLiteral("El número: ") + number + QStringLiteral(" no dispone de información de ")
                                + name + QStringLiteral(". Qué desea enviar en el caso de este contacto?"),
                            kMissingTitle, QString());
            } else {
                const qsizetype room = draft.size() - formLength(draft, keyword.spellings, &plainForm);
                answer = ask(QStringLiteral("El número: ") + number + QStringLiteral(" no dispone de información de ")
                                + name + QStringLiteral(". Qué desea enviar en el caso de este contacto? Caracteres: ")
                                + QString::number(room),
                            kMissingTitle, QString());
            }
            if (!answer) {
                result.status = ValuesStatus::Cancelled;
                return result;
            }
            const QString value = safeValue(*answer);
            for (const QString &spelling : keyword.spellings) {
                draft.replace(confirmForm(spelling), value);
                draft.replace(plainForm(spelling), value);
            }
            lists[static_cast<std::size_t>(keyword.field)].append(value);
        }
    }
    for (const FoundKeyword &keyword : found) {
        const auto index = static_cast<std::size_t>(keyword.field);
        result.values[index] = lists[index].join(QLatin1Char('|'));
    }
    return result;
}

net::FormFields sendVariables(const QString &message, const PersonalValues &values)
{
    const QString plain = reduceConfirmForms(message);
    QStringList names;
    QStringList lists;
    for (const FoundKeyword &keyword : keywordsIn(plain)) {
        for (const QString &spelling : keyword.spellings) {
            names.append(plainForm(spelling));
            lists.append(values.values[static_cast<std::size_t>(keyword.field)]);
        }
    }
    net::FormFields fields;
    if (names.isEmpty())
        return fields;
    fields.append({QStringLiteral("replace_vars"), names.join(QLatin1Char('|'))});
    for (qsizetype k = 0; k < lists.size(); ++k)
        fields.append({QStringLiteral("var") + QString::number(k + 1), lists.at(k)});
    return fields;
}

QString personalizedPreview(const QString &message, const PersonalValues &values)
{
    QString preview = reduceConfirmForms(message);
    for (const FoundKeyword &keyword : keywordsIn(preview)) {
        for (const QString &spelling : keyword.spellings)
            preview.replace(plainForm(spelling), values.values[static_cast<std::size_t>(keyword.field)]);
    }
    return preview;
}

} // namespace sending
