#pragma once

#include "platform/text/node_key.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The rules of the birthday greetings, without a window: when each contact is greeted, how the
// list is paged and drawn, what the gateway's form receives and what its answer means.
namespace automation::birthdays {

// One contact that can be greeted, as the list and the send read it.
struct Contact {
    qint64 sid = 0;
    QString name;
    QString phone;
    QString fullName;
    QString address;
    QString otherPhone;
    QString comment;
    QDate birthDate;
};

// A stored birth date: "yyyy-MM-dd" as the database keeps it, or "dd/MM/yyyy" as older imports
// wrote it; nothing for anything else.
std::optional<QDate> parseBirthDate(const QString &stored);

// The birth date as the window shows it.
QString formatBirthDate(const QDate &birthDate);

// The next birthday on or after `today`; a birthday of today is today. Someone born on 29 February
// is greeted on 28 February in a year without that day.
QDate nextBirthday(const QDate &birthDate, const QDate &today);

// The send time of a greeting on the gateway's clock: 12:00 local time on the next birthday,
// moved by the account zone's `desfase_pasarela`, written "yyyy-MM-dd HH:mm".
QString greetingTime(const QDate &birthDate, const QDate &today, const QString &timeZone);

// The earliest time, on the gateway's clock, that a greeting for `birthday` can carry, whatever
// zone the account had when it was scheduled: 12:00 local time moved by the widest zone shift
// (zones run from GMT -12:00 to GMT +14:00, so 12:00 on the day lands between 23:00 the day
// before and 01:00 the day after on the gateway's clock). A contact's birthdays are a year apart,
// so a greeting recorded at or after it (`Historial.f_programada`, stored "yyyy-MM-dd HH:mm") is
// for that birthday or a later one, and no change of zone makes the contact due again.
QString greetedFrom(const QDate &birthday);

// Whether a contact whose latest recorded greeting is `latestGreeting` (empty: none) is greeted
// for its next birthday on or after `today`.
bool greetedForNextBirthday(const QDate &birthDate, const QDate &today, const QString &latestGreeting);

// The contacts in the list's order: month, then day of the birth date, January first whatever
// today's date; contacts with the same day keep their order.
void sortByBirthday(QList<Contact> &contacts);

// --- the list's pager -------------------------------------------------------------------------

inline constexpr int kPageSize = 50;

struct PageState {
    int page = 0;   // page index, from 0
    int lastPage = 0;     // last page index
    QString caption;   // "Página 1 de 3"
};

// The pager after a list of `rows` rows with the scroll bar at `position`.
PageState paginate(int rows, int position);

// --- the tree's nodes -------------------------------------------------------------------------

struct TreeNode {
    QString key;
    QString parent;   // "" for a top-level node
    QString text;
};

inline const QString kEmptyKey = QLatin1String(text::kEmptyListKey);
// The one-contact greeting of a contact whose coming birthday is already greeted.
inline const QString kAlreadyGreeted =
    QStringLiteral("Este contacto ya tiene programada la felicitación de su próximo cumpleaños.");
inline const QString kEmptyListText = QStringLiteral("Sin felicitaciones posibles");

// The nodes of one contact: the contact, its phone, then each non-empty detail.
QList<TreeNode> contactNodes(const Contact &contact);

// The contact key behind any node of a contact ("pTelefono 12" -> 12); nothing for "l0" or a key
// without a number.
std::optional<qint64> sidFromKey(const QString &key);

// --- the send ---------------------------------------------------------------------------------

// The greeting lists: one entry per contact, in contact order.
struct GreetingLists {
    QStringList names;
    QStringList phones;
    QStringList fullNames;
    QStringList addresses;
    QStringList otherPhones;
    QStringList comments;
    QStringList sendTimes;

    int count() const { return int(phones.size()); }
};

GreetingLists buildGreetingLists(const QList<Contact> &contacts, const QDate &today, const QString &timeZone);

// Confirmed keywords are posted in their plain form: "[NOMBRE_CONFIRMAR]" becomes "[NOMBRE]".
QString formText(const QString &templateBody);

// Whether every contact keyword the template holds has one value per contact, and the send
// times too. `checkName` is false for the greeting of one chosen contact.
bool hasEnoughData(const GreetingLists &lists, const QString &templateBody, bool checkName);

// The list send goes ahead only when the balance exceeds the number of greetings.
bool hasEnoughCredit(double balance, int greetings);

// What the send fills into the gateway's form, in the order it fills it.
struct FormField {
    QString name;
    QString value;
};

struct Account {
    QString login;
    QString pass;
    QString route;          // as stored; "0" is sent as "3"
    double balance = 0;
    QString timeZone;
};

QList<FormField> formFields(const GreetingLists &lists, const QString &message,
                                        const Account &account, const QString &sender);

// The names of the fields the form must have, and its submit element.
QStringList requiredFields();
inline const QString kSubmitButton = QStringLiteral("sub");

// --- the result page --------------------------------------------------------------------------

struct SendResult {
    enum class Kind {
        NoAnswer,   // not an answer of the gateway's (no "|", or no one-digit code before it)
        Refused,      // the gateway refused: `message` says why
        Unreadable,       // accepted and charged all the same, without usable identifiers: "IN_PROGRESS" with
                          // none after it, or the success code "0" or "1" without "IN_PROGRESS"
        Scheduled,     // scheduled: one identifier per recipient
    };
    Kind kind = Kind::NoAnswer;
    QString message;
    QList<qint64> ids;
};

// The submission reached the gateway and what came back is neither a success nor a refusal it
// gives: the greetings may be scheduled, so the user is never invited simply to try again.
inline const QString kMaybeSentMessage = QStringLiteral(
    "No se ha recibido una respuesta reconocible de la pasarela. La felicitación puede haberse enviado: compruebe el "
    "historial antes de repetir el envío.");

// Said, after the outcome of the recording, of greetings the gateway accepted without giving
// identifiers that can be read.
inline const QString kUnreadableIdsMessage = QStringLiteral(
    "La pasarela ha aceptado las felicitaciones, pero no se han podido leer sus identificadores en la respuesta: "
    "desde el historial no se podrá consultar su entrega ni cancelarlas. Compruebe los envíos programados en su "
    "cuenta web.");

inline const QString kNoAnswerMessage = QStringLiteral(
    "Ha habido un problema en el envío del SMS. Por favor, compruebe que posee conexión a internet e intentelo de "
    "nuevo mas tarde.");

// The result page's text after a send to `recipients` recipients. The last two arguments
// choose the words for "Required parameters missing".
SendResult parseResult(const QString &text, int recipients, bool noPhones, bool emptyTemplate);

} // namespace automation::birthdays
