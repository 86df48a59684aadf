#include "automation/birthdays/hidden_browser.h"

#include "platform/net/http_exchange.h"
#include "platform/net/reply_text.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>

namespace automation::birthdays {
namespace {

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

NavegadorOculto::NavegadorOculto(QObject *parent) : QObject(parent), m_galletas(new QNetworkCookieJar(this))
{
    // Its own jar: the gateway's session cookies live as long as this browser, like the old
    // control's, and never mix with the other channels'.
    m_plazo.setSingleShot(true);
    connect(&m_plazo, &QTimer::timeout, this, &NavegadorOculto::agotada);
}

NavegadorOculto::~NavegadorOculto()
{
    soltar();
}

void NavegadorOculto::navegar(const QUrl &url)
{
    soltar();
    m_pedida = url;
    m_redirecciones = 0;
    empezar("GET", url, {}, {});
    m_plazo.start(m_tiempoMaximo);
}

void NavegadorOculto::enviar(const QUrl &action, bool post, const QByteArray &body, const QUrl &referrer)
{
    soltar();
    QUrl target = action;
    target.setFragment(QString());
    if (!post)
        target.setQuery(QString::fromLatin1(body), QUrl::StrictMode);
    m_pedida = target;
    m_redirecciones = 0;
    empezar(post ? QByteArray("POST") : QByteArray("GET"), target, post ? body : QByteArray(), referrer);
    m_plazo.start(m_tiempoMaximo);
}

void NavegadorOculto::empezar(const QByteArray &method, const QUrl &target, const QByteArray &body,
                              const QUrl &referrer)
{
    m_destino = target;
    m_metodo = method;
    m_datos = body;
    net::HttpExchange::Request request;
    request.method = method;
    request.url = target.toString(QUrl::FullyEncoded);
    request.body = body;
    request.bodyLimit = kPaginaMaxima;
    if (!referrer.isEmpty())
        request.headers.append({"Referer", referrer.toEncoded(QUrl::RemoveFragment | QUrl::RemoveUserInfo)});
    QByteArray cookieHeader;
    for (const QNetworkCookie &cookie : m_galletas->cookiesForUrl(target)) {
        if (!cookieHeader.isEmpty())
            cookieHeader += "; ";
        cookieHeader += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    if (!cookieHeader.isEmpty())
        request.headers.append({"Cookie", cookieHeader});

    m_actual = new net::HttpExchange(this);
    connect(m_actual, &net::HttpExchange::finished, this, &NavegadorOculto::terminada);
    m_actual->start(request);
}

void NavegadorOculto::soltar()
{
    m_plazo.stop();
    if (net::HttpExchange *exchange = std::exchange(m_actual, nullptr)) {
        disconnect(exchange, nullptr, this, nullptr);
        exchange->abort();
        exchange->deleteLater();
    }
}

void NavegadorOculto::terminada(const net::HttpResult &result)
{
    net::HttpExchange *exchange = std::exchange(m_actual, nullptr);
    if (!exchange)
        return;
    exchange->deleteLater();

    if (result.answered()) {
        QList<QNetworkCookie> received;
        for (const QByteArray &header : result.headerValues("Set-Cookie"))
            received += QNetworkCookie::parseCookies(header);
        if (!received.isEmpty())
            m_galletas->setCookiesFromUrl(received, m_destino);

        const QByteArray location = result.header("Location");
        if (isRedirect(result.httpStatus) && !location.isEmpty()) {
            const QUrl next = m_destino.resolved(QUrl::fromEncoded(location));
            // As a browser: never from https down to http, and not for ever.
            const bool allowed = next.isValid()
                && (next.scheme() == QLatin1String("http") || next.scheme() == QLatin1String("https"))
                && !(m_destino.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http"));
            if (allowed && m_redirecciones < kRedireccionesMaximas) {
                ++m_redirecciones;
                // 307 and 308 repeat the method; the others lead to the page with a GET. A POST is
                // repeated only when the server asks for exactly that, having not acted on it.
                const bool repeatMethod = result.httpStatus == 307 || result.httpStatus == 308;
                empezar(repeatMethod ? m_metodo : QByteArray("GET"), next, repeatMethod ? m_datos : QByteArray(), {});
                return;
            }
        }
    }

    m_plazo.stop();
    PaginaCargada page;
    if (result.answered()) {
        page.respondida = true;
        page.direccion = m_destino;
        page.contentType = result.header("Content-Type");
        page.html = net::decodeBody(result.body, page.contentType);
    } else {
        page.direccion = m_pedida;
        page.entregada = result.requestWritten;
    }
    avisar(page);
}

void NavegadorOculto::agotada()
{
    if (!m_actual)
        return;
    const bool delivered = m_actual->requestWritten();
    soltar();
    PaginaCargada page;
    page.direccion = m_pedida;
    page.entregada = delivered;
    avisar(page);
}

void NavegadorOculto::avisar(const PaginaCargada &page)
{
    // Last: the handler may start the next load.
    Q_EMIT paginaCargada(page);
}

} // namespace automation::birthdays
