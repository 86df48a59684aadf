#include "sending/placeholders.h"

namespace sending {
namespace {

const QString kTituloFaltan = QStringLiteral("Faltan datos personalizados");
const QString kTituloConfirmar = QStringLiteral("Confirmar datos personalizados");

struct FoundKeyword {
    ContactField field;
    QStringList spellings;   // the spellings the message holds
};

std::vector<FoundKeyword> keywordsIn(const QString &mensaje)
{
    std::vector<FoundKeyword> found;
    if (!mensaje.contains(QLatin1Char('[')))
        return found;
    for (const auto &keyword : contactKeywords()) {
        QStringList spellings = spellingsIn(mensaje, keyword.field);
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

QString valorSeguro(QString value)
{
    value.replace(QLatin1Char('|'), QChar(0x00A6));
    return value;
}

PersonalValues valores_personalizados(const QString &mensaje, const QStringList &numeros, const ContactBook &book,
                                      const AskValue &ask)
{
    PersonalValues result;
    const std::vector<FoundKeyword> found = keywordsIn(mensaje);
    if (found.empty())
        return result;

    std::array<QStringList, kContactFieldCount> lists;
    for (const FoundKeyword &keyword : found)
        lists[static_cast<std::size_t>(keyword.field)].reserve(numeros.size());

    for (const QString &number : numeros) {
        const auto contactIt = book.constFind(number);
        const ContactValues *contact = contactIt == book.constEnd() ? nullptr : &contactIt.value();
        QString copia = mensaje;
        for (const FoundKeyword &keyword : found) {
            const QString &name = keyword.spellings.first();
            // A plain keyword anywhere in the text takes the stored value without asking, even
            // when the same keyword is also written to be confirmed.
            const bool confirm = !anyContains(copia, keyword.spellings, &plainForm)
                                 && anyContains(copia, keyword.spellings, &confirmForm);
            std::optional<QString> stored;
            if (contact)
                stored = (*contact)[keyword.field];

            std::optional<QString> valor;
            if (!confirm && stored && !stored->isEmpty()) {
                valor = stored;
            } else if (confirm && stored) {
                const qsizetype room = copia.size() + stored->size() - formLength(copia, keyword.spellings, &confirmForm);
                const QString nombre = contact ? (*contact)[ContactField::Nombre].value_or(QString()) : QString();
                valor = ask(QStringLiteral("Para el número: ") + number + QStringLiteral(" (Nombre: ") + nombre
                                + QStringLiteral(") se sustituirá la palabra [") + name
                                + QStringLiteral("_CONFIRMAR] por ") + *stored
                                + QStringLiteral(". Es esto correcto? Caracteres: ") + QString::number(room),
                            kTituloConfirmar, *stored);
            } else if (confirm) {
                valor = ask(QStringLiteral("El número: ") + number + QStringLiteral(" no dispone de información de ")
                                + name + QStringLiteral(". Qué desea enviar en el caso de este contacto?"),
                            kTituloFaltan, QString());
            } else {
                const qsizetype room = copia.size() - formLength(copia, keyword.spellings, &plainForm);
                valor = ask(QStringLiteral("El número: ") + number + QStringLiteral(" no dispone de información de ")
                                + name + QStringLiteral(". Qué desea enviar en el caso de este contacto? Caracteres: ")
                                + QString::number(room),
                            kTituloFaltan, QString());
            }
            if (!valor) {
                result.status = ValuesStatus::Cancelled;
                return result;
            }
            const QString value = valorSeguro(*valor);
            for (const QString &spelling : keyword.spellings) {
                copia.replace(confirmForm(spelling), value);
                copia.replace(plainForm(spelling), value);
            }
            lists[static_cast<std::size_t>(keyword.field)].append(value);
        }
    }
    for (const FoundKeyword &keyword : found) {
        const auto index = static_cast<std::size_t>(keyword.field);
        result.valores[index] = lists[index].join(QLatin1Char('|'));
    }
    return result;
}

net::FormFields variables_envio(const QString &mensaje, const PersonalValues &values)
{
    const QString plain = f_quitar_confirmar(mensaje);
    QStringList names;
    QStringList lists;
    for (const FoundKeyword &keyword : keywordsIn(plain)) {
        for (const QString &spelling : keyword.spellings) {
            names.append(plainForm(spelling));
            lists.append(values.valores[static_cast<std::size_t>(keyword.field)]);
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

QString vistaPersonalizada(const QString &mensaje, const PersonalValues &values)
{
    QString vista = f_quitar_confirmar(mensaje);
    for (const FoundKeyword &keyword : keywordsIn(vista)) {
        for (const QString &spelling : keyword.spellings)
            vista.replace(plainForm(spelling), values.valores[static_cast<std::size_t>(keyword.field)]);
    }
    return vista;
}

} // namespace sending
