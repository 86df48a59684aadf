#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkCookieJar;

namespace net { class HttpExchange; struct HttpResult; }

// The hidden browser of the birthday window: it loads one page at a time, keeps the cookies the
// gateway sets for the rest of its life, follows redirects, and reports every finished load as a
// completed page (a page that never came is reported at the address asked for, empty, so the
// caller's "no connection" path runs instead of waiting for ever).
//
// Every load goes through the project's own transport, one connection each: the submission that
// schedules the greetings reaches the gateway at most once, even when the connection breaks, and
// a page larger than kMaxPageSize is no page (its reading stops there).
namespace automation::birthdays {

struct PaginaCargada {
    QUrl direccion;          // where the page ended up (after redirects)
    QString html;            // the page's source, decoded by its charset
    QByteArray contentType;
    bool respondida = false; // false: refused, reset or timed out
    // No page, but the whole request had reached the gateway: it may have acted on it.
    bool entregada = false;
};

class NavegadorOculto final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NavegadorOculto)

public:
    static constexpr std::chrono::milliseconds kTiempoMaximo{60000};
    // The form page and the result are a few kilobytes.
    static constexpr qint64 kPaginaMaxima = 4 * 1024 * 1024;
    // Redirects followed for one load, as a browser caps them.
    static constexpr int kRedireccionesMaximas = 10;

    explicit NavegadorOculto(QObject *parent = nullptr);
    ~NavegadorOculto() override;

    // A new load drops the one still under way, as a browser does.
    void navegar(const QUrl &url);
    // Submits form bytes to the action: a POST with the form content type, or a GET with the bytes
    // as the query. `referente` is the page the form came from.
    void enviar(const QUrl &action, bool post, const QByteArray &body, const QUrl &referrer);

    bool cargando() const { return m_actual != nullptr; }
    void setTiempoMaximo(std::chrono::milliseconds timeout) { m_tiempoMaximo = timeout; }

Q_SIGNALS:
    void paginaCargada(const automation::birthdays::PaginaCargada &page);

private:
    void empezar(const QByteArray &method, const QUrl &target, const QByteArray &body, const QUrl &referrer);
    void terminada(const net::HttpResult &result);
    void agotada();
    void soltar();
    void avisar(const PaginaCargada &page);

    QNetworkCookieJar *m_galletas;
    net::HttpExchange *m_actual = nullptr;
    QUrl m_pedida;   // the address the caller asked for
    QUrl m_destino;  // the address being loaded now (after redirects)
    QByteArray m_metodo;
    QByteArray m_datos;
    int m_redirecciones = 0;
    QTimer m_plazo;
    std::chrono::milliseconds m_tiempoMaximo = kTiempoMaximo;
};

} // namespace automation::birthdays
