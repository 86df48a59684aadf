// The offer to save recipients that are not in the contact book: which number comes next, the
// window's three answers and the setting that switches the offer off, driven from the send panel.
#include "panel_rig.h"

#include "sending/offer/unknown_number_offer.h"
#include "sending/offer/unknown_numbers.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using testing::PanelRig;

namespace {

void leave(QWidget *box)
{
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &event);
}

struct Saved {
    QString number;
    qint64 position = -1;
};

// A panel whose contacts hold `conocidos`, with the box already holding `destinatarios`.
struct OfferRig {
    explicit OfferRig(const QStringList &known = {}, const QString &recipients = {})
    {
        for (const QString &n : known)
            rig.connection.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES ('x',?1)"), {n});
        rig.view->recipientsBox()->setPlainText(recipients);
        offer().setSaveContact([this](const QString &number, qint64 position) { saved.append({number, position}); });
    }
    sending::UnknownNumberOffer &offer() { return rig.panel->unknownNumberOffer(); }
    sending::UnknownNumberDialog *window() { return offer().dialog(); }
    QString shown()
    {
        sending::UnknownNumberDialog *w = window();
        return w && w->isVisible() ? w->numberLabel()->text() : QString();
    }
    PanelRig rig;
    QList<Saved> saved;
};

} // namespace

class TestUnknownNumberOffer final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nextUnknown_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QString>("number");
        QTest::addColumn<qint64>("position");
        const QStringList two{QStringLiteral("34600000001"), QStringLiteral("34600000002")};
        QTest::newRow("second unknown") << two << QStringList{QStringLiteral("34600000001")} << qint64(0)
                                        << QStringLiteral("34600000002") << qint64(1);
        QTest::newRow("all known") << two << two << qint64(0) << QString() << qint64(-1);
        QTest::newRow("past the end") << two << QStringList{} << qint64(5) << QString() << qint64(-1);
        QTest::newRow("from a position") << two << QStringList{} << qint64(1) << QStringLiteral("34600000002")
                                         << qint64(1);
        QTest::newRow("plus ignored") << QStringList{QStringLiteral("+34600000001")}
                                      << QStringList{QStringLiteral("34600000001")} << qint64(0) << QString()
                                      << qint64(-1);
        // Whole numbers: a known number that holds the recipient inside it is another number.
        QTest::newRow("part of a known one") << QStringList{QStringLiteral("4600000001")}
                                             << QStringList{QStringLiteral("34600000001")} << qint64(0)
                                             << QStringLiteral("4600000001") << qint64(0);
        QTest::newRow("empty entries skipped") << QStringList{QString(), QStringLiteral("+"), QStringLiteral("700000001")}
                                               << QStringList{} << qint64(0) << QStringLiteral("700000001")
                                               << qint64(2);
    }

    void nextUnknown()
    {
        QFETCH(QStringList, list);
        QFETCH(QStringList, known);
        QFETCH(qint64, start);
        QFETCH(QString, number);
        QFETCH(qint64, position);
        const auto found = sending::firstUnknown(list, known, start);
        QCOMPARE(found.has_value(), !number.isEmpty());
        if (found) {
            QCOMPARE(found->number, number);
            QCOMPARE(found->position, position);
        }
    }

    void listFromTheBox()
    {
        QCOMPARE(sending::offerList(QStringLiteral(" 34600000001 , 34600000002")),
                 (QStringList{QStringLiteral("34600000001"), QStringLiteral("34600000002")}));
        QCOMPARE(sending::offerQuestion(QStringLiteral("34600000002")),
                 QStringLiteral("El teléfono '34600000002' no pertenece a su lista de contactos. Desea agregar el "
                                "contaco?"));
    }

    void lookupInTheBook()
    {
        OfferRig o({QStringLiteral("34600000001"), QStringLiteral("+34600000003")});
        const QStringList known = sending::knownInContactBook(
            o.rig.connection, {QStringLiteral("34600000001"), QStringLiteral("34600000002"), QStringLiteral("34600000003")});
        QVERIFY(known.contains(QStringLiteral("34600000001")));
        QVERIFY(known.contains(QStringLiteral("+34600000003")));
        QVERIFY(!known.contains(QStringLiteral("34600000002")));
    }

    // Leaving the box offers the first unknown number, and the quote still goes out.
    void offeredWhenTheBoxIsLeft()
    {
        OfferRig o({QStringLiteral("34600000001")});
        QSignalSpy quotes(o.rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        o.rig.view->recipientsBox()->setPlainText(QStringLiteral("600000001,600000002"));
        leave(o.rig.view->recipientsBox());
        QCOMPARE(o.shown(), QStringLiteral("34600000002"));
        QCOMPARE(o.window()->position(), qint64(1));
        QCOMPARE(o.window()->windowTitle(), QStringLiteral("Desea guardar el contacto en la agenda?"));
        QCOMPARE(o.window()->questionLabel()->text(), sending::offerQuestion(QStringLiteral("34600000002")));
        QVERIFY(!o.window()->dontAskAgainCheck()->isChecked());
        // At its default size the window shows the whole question: the label is as tall as its
        // wrapped text needs, and nothing is cut at the right.
        QLabel *question = o.window()->questionLabel();
        o.window()->layout()->activate();
        QVERIFY2(question->height() >= question->heightForWidth(question->width()),
                 qPrintable(QStringLiteral("%1 < %2").arg(question->height()).arg(question->heightForWidth(question->width()))));
        QVERIFY(question->width() <= o.window()->width());
        QVERIFY(quotes.wait(5000));
        QCOMPARE(o.rig.sim.requestCount(sim::Endpoint::QuoteSms), 1);
    }

    void notOfferedWhenAllKnownOrSwitchedOff_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<bool>("allKnown");
        QTest::newRow("all known") << QVariant(QStringLiteral("Preguntar")) << true;
        QTest::newRow("no preguntar") << QVariant(sending::kDontAsk) << false;
        QTest::newRow("null setting") << QVariant() << false;
    }

    void notOfferedWhenAllKnownOrSwitchedOff()
    {
        QFETCH(QVariant, setting);
        QFETCH(bool, allKnown);
        OfferRig o(allKnown ? QStringList{QStringLiteral("34600000001")} : QStringList{});
        o.rig.connection.execute(QStringLiteral("UPDATE Usuario SET defecto_agenda=?1"), {setting});
        QSignalSpy quotes(o.rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        o.rig.view->recipientsBox()->setPlainText(QStringLiteral("600000001"));
        leave(o.rig.view->recipientsBox());
        QVERIFY(!o.window());
        QVERIFY(quotes.wait(5000));
    }

    void notOfferedWithoutAnAccountOrForAPickersList()
    {
        OfferRig o;
        o.rig.panel->setRecipients(QStringLiteral("34600000001"));
        leave(o.rig.view->recipientsBox());
        QVERIFY(!o.window());
        o.rig.connection.execute(QStringLiteral("DELETE FROM Usuario"));
        o.rig.view->recipientsBox()->setPlainText(QStringLiteral("600000009"));
        leave(o.rig.view->recipientsBox());
        QVERIFY(!o.window());
    }

    void ignoreAndIgnoreAll()
    {
        OfferRig o({}, QStringLiteral("34600000001,34600000002,34600000003"));
        o.offer().offerNextUnknown(0, false);
        QCOMPARE(o.shown(), QStringLiteral("34600000001"));
        o.window()->ignoreButton()->click();
        QCOMPARE(o.shown(), QStringLiteral("34600000002"));
        QCOMPARE(o.window()->position(), qint64(1));
        o.window()->ignoreAllButton()->click();
        QVERIFY(!o.window());
        QCOMPARE(o.rig.scalar(QStringLiteral("SELECT defecto_agenda FROM Usuario")), QStringLiteral("Preguntar"));
    }

    // "No preguntar de nuevo" is stored, and the rest of this offer still goes on.
    void ignoreWithDontAskAgain()
    {
        OfferRig o({}, QStringLiteral("34600000001,34600000002"));
        o.offer().offerNextUnknown(0, false);
        o.window()->dontAskAgainCheck()->setChecked(true);
        o.window()->ignoreButton()->click();
        QCOMPARE(o.rig.scalar(QStringLiteral("SELECT defecto_agenda FROM Usuario")), sending::kDontAsk);
        QCOMPARE(o.shown(), QStringLiteral("34600000002"));
        QVERIFY(!o.window()->dontAskAgainCheck()->isChecked());
        QVERIFY(!sending::offerEnabled(o.rig.connection));
    }

    void saveHandsTheNumberToTheEditor()
    {
        OfferRig o({}, QStringLiteral("34600000001,34600000002"));
        o.offer().offerNextUnknown(0, false);
        o.window()->saveContactButton()->click();
        QVERIFY(!o.window());
        QCOMPARE(o.saved.size(), 1);
        QCOMPARE(o.saved.at(0).number, QStringLiteral("34600000001"));
        QCOMPARE(o.saved.at(0).position, qint64(0));
        // The editor's save goes on after the number it saved.
        o.rig.connection.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES ('x','34600000001')"));
        o.offer().offerNextUnknown(1, false);
        QCOMPARE(o.shown(), QStringLiteral("34600000002"));
    }

    void nothingBeyondTheListOrWhenAllSkipped()
    {
        OfferRig o({}, QStringLiteral("34600000001,34600000002,34600000003"));
        o.offer().offerNextUnknown(5, false);
        QVERIFY(!o.window());
        o.offer().offerNextUnknown(0, true);
        QVERIFY(!o.window());
        o.rig.view->recipientsBox()->clear();
        o.offer().offerNextUnknown(0, false);
        QVERIFY(!o.window());
    }

    // The list is read anew on every call: an edit between two offers changes what comes next.
    void listReadAnewEachTime()
    {
        OfferRig o({}, QStringLiteral("34600000001,34600000002"));
        o.offer().offerNextUnknown(0, false);
        o.rig.view->recipientsBox()->setPlainText(QStringLiteral("34600000001,34600000009"));
        o.window()->ignoreButton()->click();
        QCOMPARE(o.shown(), QStringLiteral("34600000009"));
    }
};

QTEST_MAIN(TestUnknownNumberOffer)
#include "test_unknown_number_offer.moc"
