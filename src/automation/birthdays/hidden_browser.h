#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

// The hidden browser of the birthday window: it loads one page at a time, keeps the cookies the
// gateway sets for the rest of its life, follows redirects, and reports every finished load as a
// completed page (a page that never came is reported at the address asked for, empty, so the
// caller's "no connection" path runs instead of waiting for ever).
namespace automation::birthdays {

struct PaginaCargada {
    QUrl direccion;          // where the page ended up (after redirects)
    QString html;            // the page's source, decoded by its charset
    QByteArray contentType;
    bool respondida = false; // false: refused, reset or timed out
};

class NavegadorOculto final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NavegadorOculto)

public:
    static constexpr std::chrono::milliseconds kTiempoMaximo{60000};

    explicit NavegadorOculto(QObject *parent = nullptr);
    ~NavegadorOculto() override;

    // A new load drops the one still under way, as a browser does.
    void navegar(const QUrl &direccion);
    // Submits form bytes to the action: a POST with the form content type, or a GET with the bytes
    // as the query. `referente` is the page the form came from.
    void enviar(const QUrl &accion, bool post, const QByteArray &datos, const QUrl &referente);

    bool cargando() const { return !m_actual.isNull(); }
    void setTiempoMaximo(std::chrono::milliseconds tiempo) { m_tiempoMaximo = tiempo; }

Q_SIGNALS:
    void paginaCargada(const automation::birthdays::PaginaCargada &pagina);

private:
    void empezar(QNetworkReply *respuesta, const QUrl &pedida);
    void terminada(QNetworkReply *respuesta);
    void agotada();
    void soltar();

    QNetworkAccessManager *m_red;
    QPointer<QNetworkReply> m_actual;
    QUrl m_pedida;
    QTimer m_plazo;
    std::chrono::milliseconds m_tiempoMaximo = kTiempoMaximo;
};

} // namespace automation::birthdays
