#include "sending/offer/unknown_number_offer.h"

#include "sending/offer/unknown_numbers.h"

#include <QCheckBox>
#include <QPushButton>

namespace sending {

UnknownNumberOffer::UnknownNumberOffer(db::Connection &connection, ReadRecipients recipients, QObject *parent)
    : QObject(parent), m_connection(connection), m_recipients(std::move(recipients))
{
}

UnknownNumberOffer::~UnknownNumberOffer()
{
    m_dialog.release();
}

void UnknownNumberOffer::offerNextUnknown(qint64 start, bool ignoreAll)
{
    if (ignoreAll)
        return;
    const QStringList list = offerList(m_recipients ? m_recipients() : QString());
    if (start >= list.size())
        return;
    const std::optional<UnknownNumber> next =
        firstUnknown(list, knownInContactBook(m_connection, list), start);
    if (!next)
        return;
    UnknownNumberDialog *window = m_dialog.show([this] {
        auto *created = new UnknownNumberDialog;
        connect(created->ignoreAllButton(), &QPushButton::clicked, this, &UnknownNumberOffer::onIgnoreAllClicked);
        connect(created->ignoreButton(), &QPushButton::clicked, this, &UnknownNumberOffer::onIgnoreClicked);
        connect(created->saveContactButton(), &QPushButton::clicked, this, &UnknownNumberOffer::onSaveContactClicked);
        return created;
    });
    window->showNumber(next->number, next->position);
}

void UnknownNumberOffer::skipNumber(bool all)
{
    UnknownNumberDialog *window = dialog();
    if (!window)
        return;
    if (window->dontAskAgainCheck()->isChecked())
        stopAsking(m_connection);
    const qint64 position = window->position();
    window->close();
    offerNextUnknown(position + 1, all);
}

void UnknownNumberOffer::onIgnoreAllClicked()
{
    skipNumber(true);
}

void UnknownNumberOffer::onIgnoreClicked()
{
    skipNumber(false);
}

void UnknownNumberOffer::onSaveContactClicked()
{
    UnknownNumberDialog *window = dialog();
    if (!window)
        return;
    const QString number = window->number();
    const qint64 position = window->position();
    if (m_save)
        m_save(number, position);
    window->close();
}

} // namespace sending
