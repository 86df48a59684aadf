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
inline constexpr auto crearNuevoRemitente = "Crear nuevo...";

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
    QPlainTextEdit *Text1() const { return m_text1; }      // message box
    QPlainTextEdit *Text2() const { return m_text2; }      // recipients box (no 32767-character cap)
    QComboBox *Combo1() const { return m_combo1; }         // sender list
    QPushButton *Command1() const { return m_command1; }   // "Enviar SMS"

    // Figures: balance, cost, counter and the last picked recipient.
    QLabel *lblsaldo() const { return m_lblsaldo; }
    QLabel *lblCoste() const { return m_lblCoste; }
    QLabel *lblMsglen() const { return m_lblMsglen; }
    QLabel *lblLenMax() const { return m_lblLenMax; }
    QLabel *SkinLabel4() const { return m_skinLabel4; }

    // Send time and appointment mode.
    QLabel *Label2() const { return m_label2; }            // "Fecha de envío:"
    QLineEdit *Text3() const { return m_text3; }           // "Inmediato" or "yyyy-MM-dd hh:mm"
    QLineEdit *Text5() const { return m_text5; }           // hour
    QLineEdit *Text4() const { return m_text4; }           // minute
    QScrollBar *VScroll2() const { return m_vscroll2; }    // hour spinner
    QScrollBar *VScroll1() const { return m_vscroll1; }    // minute spinner
    QCheckBox *Check2() const { return m_check2; }         // "Es una cita. Enviar con"
    QLineEdit *Text6() const { return m_text6; }           // appointment lead in hours
    QLabel *SkinLabel6() const { return m_skinLabel6; }    // "F. Cita (72h antes)"
    QCalendarWidget *Calendar1() const { return m_calendar1; }
    QGroupBox *Frame1() const { return m_frame1; }         // "Hora"
    QPushButton *Command9() const { return m_command9; }   // "Cerrar"

    // Icons.
    QToolButton *Image1() const { return m_image1; }       // calendar
    QToolButton *Image2() const { return m_image2; }       // pick recipients
    QToolButton *Image3() const { return m_image3; }       // pick a template
    QToolButton *Image4() const { return m_image4; }       // clear the recipients (hidden at start)
    QToolButton *Image5() const { return m_image5; }       // clear the whole panel
    QToolButton *Image10() const { return m_image10; }     // refresh the cost
    QToolButton *Image11() const { return m_image11; }     // refresh the balance

    // The mark other windows set while they refill the sender combo ("1") so its click rule stays quiet.
    QString combo1Tag() const { return m_combo1Tag; }
    void setCombo1Tag(const QString &tag) { m_combo1Tag = tag; }

    // The sender list rules: "Crear nuevo..." appended when the list gets the focus, and chosen
    // it leads to the password prompt.
    void Combo1_GotFocus();
    void Combo1_Click(int index);

Q_SIGNALS:
    // The user chose "Crear nuevo...": the password prompt opens with code "9".
    void crearRemitente();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildMessageColumn();
    QWidget *buildSideColumn();
    QWidget *buildPicker();

    QPlainTextEdit *m_text1 = nullptr;
    QPlainTextEdit *m_text2 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QLabel *m_lblsaldo = nullptr;
    QLabel *m_lblCoste = nullptr;
    QLabel *m_lblMsglen = nullptr;
    QLabel *m_lblLenMax = nullptr;
    QLabel *m_skinLabel4 = nullptr;
    QLabel *m_label2 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QLineEdit *m_text5 = nullptr;
    QLineEdit *m_text4 = nullptr;
    QScrollBar *m_vscroll2 = nullptr;
    QScrollBar *m_vscroll1 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QLineEdit *m_text6 = nullptr;
    QLabel *m_skinLabel6 = nullptr;
    QCalendarWidget *m_calendar1 = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QPushButton *m_command9 = nullptr;
    QToolButton *m_image1 = nullptr;
    QToolButton *m_image2 = nullptr;
    QToolButton *m_image3 = nullptr;
    QToolButton *m_image4 = nullptr;
    QToolButton *m_image5 = nullptr;
    QToolButton *m_image10 = nullptr;
    QToolButton *m_image11 = nullptr;
    QString m_combo1Tag = QStringLiteral("0");
};

} // namespace sending
