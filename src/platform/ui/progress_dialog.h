#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

// The progress window (objectName `Form4`), "Progreso": the small window shown while a dialog waits
// for the gateway. It knows nothing of the request; its caller starts it and closes it.
namespace ui {

class ProgressDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressDialog)

public:
    static constexpr int kMaximum = 150;
    static constexpr int kCeiling = 145;
    static constexpr int kStep = 3;

    explicit ProgressDialog(QWidget *parent = nullptr);

    // Bar at 0, animation on, the waiting text, shown without blocking.
    void start(const QString &message);
    // Animation off, bar full (the caller then closes the window).
    void finish();

    QString text() const;
    int value() const;
    QTimer &timer() { return m_checkTimer; }

private:
    void advanceBar();

    QLabel *m_textLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QTimer m_checkTimer;
};

} // namespace ui
