#include "sending/offer/unknown_number_offer.h"

#include "sending/offer/unknown_numbers.h"

#include <QCheckBox>
#include <QPushButton>

namespace sending {

UnknownNumberOffer::UnknownNumberOffer(db::Connection &connection, ReadRecipients recipients, QObject *parent)
    : QObject(parent), m_conexion(connection), m_recipients(std::move(recipients))
{
}

UnknownNumberOffer::~UnknownNumberOffer()
{
    m_form23.release();
}

void UnknownNumberOffer::introducir_agenda(qint64 start, bool ignoreAll)
{
    if (ignoreAll)
        return;
    const QStringList list = listaOferta(m_recipients ? m_recipients() : QString());
    if (start >= list.size())
        return;
    const std::optional<NumeroDesconocido> next =
        primerDesconocido(list, conocidosEnAgenda(m_conexion, list), start);
    if (!next)
        return;
    Form23 *window = m_form23.show([this] {
        auto *created = new Form23;
        connect(created->Command1(), &QPushButton::clicked, this, &UnknownNumberOffer::Command1_Click);
        connect(created->Command2(), &QPushButton::clicked, this, &UnknownNumberOffer::Command2_Click);
        connect(created->Command3(), &QPushButton::clicked, this, &UnknownNumberOffer::Command3_Click);
        return created;
    });
    window->mostrar(next->numero, next->posicion);
}

void UnknownNumberOffer::ignorar(bool all)
{
    Form23 *window = ventana();
    if (!window)
        return;
    if (window->Check1()->isChecked())
        dejarDePreguntar(m_conexion);
    const qint64 position = window->posicion();
    window->close();
    introducir_agenda(position + 1, all);
}

void UnknownNumberOffer::Command1_Click()
{
    ignorar(true);
}

void UnknownNumberOffer::Command2_Click()
{
    ignorar(false);
}

void UnknownNumberOffer::Command3_Click()
{
    Form23 *window = ventana();
    if (!window)
        return;
    const QString number = window->numero();
    const qint64 position = window->posicion();
    if (m_save)
        m_save(number, position);
    window->close();
}

} // namespace sending
