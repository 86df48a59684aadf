#pragma once

#include <QString>
#include <QWidget>

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace sending {

// The text of the sender list's last entry, which leads to the sender administration.
inline constexpr auto kCreateSenderItem = "Crear nuevo...";

// The controls of the "Enviar SMS" tab, laid out; the behaviour of the counter, the recipients,
// the time picker and the send lives in SendPanelController beside it, which connects to these
// controls. Only the sender list's own rules ("Crear nuevo...") are kept here.
class SendPanelView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SendPanelView)

public:
    explicit SendPanelView(QWidget *parent = nullptr);
    ~SendPanelView() override;

    // Message, recipients, sender, send.
    QPlainTextEdit *messageBox() const { return m_messageBox; }      // message box
    QPlainTextEdit *recipientsBox() const { return m_recipientsBox; }      // recipients box (no 32767-character cap)
    QComboBox *senderCombo() const { return m_senderCombo; }         // sender list
    QPushButton *sendButton() const { return m_sendButton; }   // "Enviar SMS"

    // Figures: balance, cost, counter and the last picked recipient.
    QLabel *balanceLabel() const { return m_balanceLabel; }
    QLabel *costLabel() const { return m_costLabel; }
    QLabel *lengthLabel() const { return m_lengthLabel; }
    QLabel *lengthLimitLabel() const { return m_lengthLimitLabel; }
    QLabel *pickedRecipientLabel() const { return m_pickedRecipientLabel; }

    // Send time and appointment mode.
    QLabel *sendDateLabel() const { return m_sendDateLabel; }            // "Fecha de envío:"
    QLineEdit *sendTimeBox() const { return m_sendTimeBox; }           // "Inmediato" or "yyyy-MM-dd hh:mm"
    QLineEdit *hourBox() const { return m_hourBox; }           // hour
    QLineEdit *minuteBox() const { return m_minuteBox; }           // minute
    QScrollBar *hourBar() const { return m_hourBar; }    // hour spinner
    QScrollBar *minuteBar() const { return m_minuteBar; }    // minute spinner
    QCheckBox *appointmentCheck() const { return m_appointmentCheck; }         // "Es una cita. Enviar con"
    QLineEdit *appointmentLeadBox() const { return m_appointmentLeadBox; }           // appointment lead in hours
    QLabel *appointmentDateLabel() const { return m_appointmentDateLabel; }    // "F. Cita (72h antes)"
    QCalendarWidget *sendDateCalendar() const { return m_sendDateCalendar; }
    QGroupBox *timeFrame() const { return m_timeFrame; }         // "Hora"
    QPushButton *closePickerButton() const { return m_closePickerButton; }   // "Cerrar"

    // Icons.
    QToolButton *calendarImage() const { return m_calendarImage; }       // calendar
    QToolButton *pickRecipientsImage() const { return m_pickRecipientsImage; }       // pick recipients
    QToolButton *pickTemplateImage() const { return m_pickTemplateImage; }       // pick a template
    QToolButton *clearRecipientsImage() const { return m_clearRecipientsImage; }       // clear the recipients (hidden at start)
    QToolButton *clearAllImage() const { return m_clearAllImage; }       // clear the whole panel
    QToolButton *refreshCostImage() const { return m_refreshCostImage; }     // refresh the cost
    QToolButton *refreshBalanceImage() const { return m_refreshBalanceImage; }     // refresh the balance

    // The mark other windows set while they refill the sender combo ("1") so its click rule stays quiet.
    QString senderComboTag() const { return m_senderComboTag; }
    void setSenderComboTag(const QString &tag) { m_senderComboTag = tag; }

    // The sender list rules: "Crear nuevo..." appended when the list gets the focus, and chosen
    // it leads to the password prompt.
    void appendCreateSenderItem();
    void onSenderChosen(int index);

Q_SIGNALS:
    // The user chose "Crear nuevo...": the password prompt opens with code "9".
    void createSenderRequested();
    // The user chose one of the identifiers (not the "Crear nuevo..." entry): the cost depends on it.
    void senderChosen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildMessageColumn();
    QWidget *buildSideColumn();
    QWidget *buildPicker();

    QPlainTextEdit *m_messageBox = nullptr;
    QPlainTextEdit *m_recipientsBox = nullptr;
    QComboBox *m_senderCombo = nullptr;
    QPushButton *m_sendButton = nullptr;
    QLabel *m_balanceLabel = nullptr;
    QLabel *m_costLabel = nullptr;
    QLabel *m_lengthLabel = nullptr;
    QLabel *m_lengthLimitLabel = nullptr;
    QLabel *m_pickedRecipientLabel = nullptr;
    QLabel *m_sendDateLabel = nullptr;
    QLineEdit *m_sendTimeBox = nullptr;
    QLineEdit *m_hourBox = nullptr;
    QLineEdit *m_minuteBox = nullptr;
    QScrollBar *m_hourBar = nullptr;
    QScrollBar *m_minuteBar = nullptr;
    QCheckBox *m_appointmentCheck = nullptr;
    QLineEdit *m_appointmentLeadBox = nullptr;
    QLabel *m_appointmentDateLabel = nullptr;
    QCalendarWidget *m_sendDateCalendar = nullptr;
    QGroupBox *m_timeFrame = nullptr;
    QPushButton *m_closePickerButton = nullptr;
    QToolButton *m_calendarImage = nullptr;
    QToolButton *m_pickRecipientsImage = nullptr;
    QToolButton *m_pickTemplateImage = nullptr;
    QToolButton *m_clearRecipientsImage = nullptr;
    QToolButton *m_clearAllImage = nullptr;
    QToolButton *m_refreshCostImage = nullptr;
    QToolButton *m_refreshBalanceImage = nullptr;
    QString m_senderComboTag = QStringLiteral("0");
};

} // namespace sending
