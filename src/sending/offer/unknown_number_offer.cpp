#include "sending/offer/unknown_number_offer.h"

#include "sending/offer/unknown_numbers.h"

#include <QCheckBox>
#include <QPushButton>

namespace sending {

UnknownNumberOffer::UnknownNumberOffer(db::Connection &conexion, ReadRecipients recipients, QObject *parent)
    : QObject(parent), m_conexion(conexion), m_recipients(std::move(recipients))
{
}

UnknownNumberOffer::~UnknownNumberOffer()
{
    m_form23.release();
}

void UnknownNumberOffer::introducir_agenda(qint64 inicio, bool ignorar_todos)
{
    if (ignorar_todos)
        return;
    const QStringList lista = listaOferta(m_recipients ? m_recipients() : QString());
    if (inicio >= lista.size())
        return;
    const std::optional<NumeroDesconocido> siguiente =
        primerDesconocido(lista, conocidosEnAgenda(m_conexion, lista), inicio);
    if (!siguiente)
        return;
    Form23 *form = m_form23.show([this] {
        auto *nueva = new Form23;
        connect(nueva->Command1(), &QPushButton::clicked, this, &UnknownNumberOffer::Command1_Click);
        connect(nueva->Command2(), &QPushButton::clicked, this, &UnknownNumberOffer::Command2_Click);
        connect(nueva->Command3(), &QPushButton::clicked, this, &UnknownNumberOffer::Command3_Click);
        return nueva;
    });
    form->mostrar(siguiente->numero, siguiente->posicion);
}

void UnknownNumberOffer::ignorar(bool todos)
{
    Form23 *form = ventana();
    if (!form)
        return;
    if (form->Check1()->isChecked())
        dejarDePreguntar(m_conexion);
    const qint64 posicion = form->posicion();
    form->close();
    introducir_agenda(posicion + 1, todos);
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
    Form23 *form = ventana();
    if (!form)
        return;
    const QString numero = form->numero();
    const qint64 posicion = form->posicion();
    if (m_save)
        m_save(numero, posicion);
    form->close();
}

} // namespace sending
