#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>

// The bracketed keywords a message or template may hold. Matched exactly and
// case-sensitively; a keyword is replaced wherever it occurs.
namespace sending {

// The contact keywords the value builder fills, in index order, with the `Agenda` column that
// gives each value. The birth date has two spellings in circulation ("[F_NACIMIENTO]" in
// templates and "[FECHA_NACIMIENTO]" in what the counter and the send list name); both are
// accepted and valued alike.
enum class ContactField { Name, Phone, FullName, Address, OtherPhone, Comments, BirthDate };
inline constexpr int kContactFieldCount = 7;

struct ContactKeyword {
    ContactField field;
    QStringView name;       // without brackets: "NOMBRE"
    QStringView column;     // the `Agenda` column
};

const std::array<ContactKeyword, kContactFieldCount> &contactKeywords();

// The second spelling of the birth-date keyword.
inline constexpr QStringView kBirthDateAlias = u"FECHA_NACIMIENTO";
// The age keyword: no column gives it, so it stays in the text as typed.
inline constexpr QStringView kAgeKeyword = u"EDAD";

QString plainForm(QStringView name);          // "[NOMBRE]"
QString confirmForm(QStringView name);        // "[NOMBRE_CONFIRMAR]"

// The spellings of one field's keyword that `message` holds (plain or confirmation form), in
// the order "[F_NACIMIENTO]", "[FECHA_NACIMIENTO]" for the birth date; one name for the others.
QStringList spellingsIn(const QString &message, ContactField field);

// Every confirmation form of a contact keyword becomes its plain keyword.
// The age keyword's confirmation form stays as written.
QString reduceConfirmForms(QString message);

// The six contact keywords the counter sizes from the recipients' contacts.
const std::array<QString, 6> &counterKeywords();

// The date keywords filled in from `scheduled` ("Inmediato" or "yyyy-mm-dd hh:mm";
// `now` stands for "Inmediato" and for a time that cannot be read). Day and month names are
// Spanish, as the client's users read them.
QString fillDateKeywords(QString message, const QString &scheduled, const QDateTime &now);

} // namespace sending
