#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

// The progress window (objectName `Form4`), "Progreso": the small window shown while a dialog waits
// for the gateway. It knows nothing of the request; its caller starts it and closes it.
namespace startup {

class Form4 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form4)

public:
    static constexpr int kMaximo = 150;
    static constexpr int kTope = 145;
    static constexpr int kPaso = 3;

    explicit Form4(QWidget *parent = nullptr);

    // Bar at 0, animation on, the waiting text, shown without blocking.
    void start(const QString &message);
    // Animation off, bar full (the caller then closes the window).
    void finish();

    QString text() const;
    int value() const;
    QTimer &timer() { return Timer1; }

private:
    void Timer1_Timer();

    QLabel *SkinLabel1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTimer Timer1;
};

} // namespace startup
