#include "automation/birthdays/hidden_browser.h"

#include "platform/net/http_exchange.h"
#include "platform/net/reply_text.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>

namespace automation::birthdays {
namespace {

bool esRedireccion(int estado)
{
    return estado == 301 || estado == 302 || estado == 303 || estado == 307 || estado == 308;
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

void NavegadorOculto::navegar(const QUrl &direccion)
{
    soltar();
    m_pedida = direccion;
    m_redirecciones = 0;
    empezar("GET", direccion, {}, {});
    m_plazo.start(m_tiempoMaximo);
}

void NavegadorOculto::enviar(const QUrl &accion, bool post, const QByteArray &datos, const QUrl &referente)
{
    soltar();
    QUrl destino = accion;
    destino.setFragment(QString());
    if (!post)
        destino.setQuery(QString::fromLatin1(datos), QUrl::StrictMode);
    m_pedida = destino;
    m_redirecciones = 0;
    empezar(post ? QByteArray("POST") : QByteArray("GET"), destino, post ? datos : QByteArray(), referente);
    m_plazo.start(m_tiempoMaximo);
}

void NavegadorOculto::empezar(const QByteArray &metodo, const QUrl &destino, const QByteArray &datos,
                              const QUrl &referente)
{
    m_destino = destino;
    m_metodo = metodo;
    m_datos = datos;
    net::HttpExchange::Request peticion;
    peticion.method = metodo;
    peticion.url = destino.toString(QUrl::FullyEncoded);
    peticion.body = datos;
    peticion.bodyLimit = kPaginaMaxima;
    if (!referente.isEmpty())
        peticion.headers.append({"Referer", referente.toEncoded(QUrl::RemoveFragment | QUrl::RemoveUserInfo)});
    QByteArray galletas;
    for (const QNetworkCookie &galleta : m_galletas->cookiesForUrl(destino)) {
        if (!galletas.isEmpty())
            galletas += "; ";
        galletas += galleta.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    if (!galletas.isEmpty())
        peticion.headers.append({"Cookie", galletas});

    m_actual = new net::HttpExchange(this);
    connect(m_actual, &net::HttpExchange::finished, this, &NavegadorOculto::terminada);
    m_actual->start(peticion);
}

void NavegadorOculto::soltar()
{
    m_plazo.stop();
    if (net::HttpExchange *actual = std::exchange(m_actual, nullptr)) {
        disconnect(actual, nullptr, this, nullptr);
        actual->abort();
        actual->deleteLater();
    }
}

void NavegadorOculto::terminada(const net::HttpResult &resultado)
{
    net::HttpExchange *actual = std::exchange(m_actual, nullptr);
    if (!actual)
        return;
    actual->deleteLater();

    if (resultado.answered()) {
        QList<QNetworkCookie> nuevas;
        for (const QByteArray &cabecera : resultado.headerValues("Set-Cookie"))
            nuevas += QNetworkCookie::parseCookies(cabecera);
        if (!nuevas.isEmpty())
            m_galletas->setCookiesFromUrl(nuevas, m_destino);

        const QByteArray ubicacion = resultado.header("Location");
        if (esRedireccion(resultado.httpStatus) && !ubicacion.isEmpty()) {
            const QUrl siguiente = m_destino.resolved(QUrl::fromEncoded(ubicacion));
            // As a browser: never from https down to http, and not for ever.
            const bool valida = siguiente.isValid()
                && (siguiente.scheme() == QLatin1String("http") || siguiente.scheme() == QLatin1String("https"))
                && !(m_destino.scheme() == QLatin1String("https") && siguiente.scheme() == QLatin1String("http"));
            if (valida && m_redirecciones < kRedireccionesMaximas) {
                ++m_redirecciones;
                // 307 and 308 repeat the method; the others lead to the page with a GET. A POST is
                // repeated only when the server asks for exactly that, having not acted on it.
                const bool repetir = resultado.httpStatus == 307 || resultado.httpStatus == 308;
                empezar(repetir ? m_metodo : QByteArray("GET"), siguiente, repetir ? m_datos : QByteArray(), {});
                return;
            }
        }
    }

    m_plazo.stop();
    PaginaCargada pagina;
    if (resultado.answered()) {
        pagina.respondida = true;
        pagina.direccion = m_destino;
        pagina.contentType = resultado.header("Content-Type");
        pagina.html = net::decodeBody(resultado.body, pagina.contentType);
    } else {
        pagina.direccion = m_pedida;
        pagina.entregada = resultado.requestWritten;
    }
    avisar(pagina);
}

void NavegadorOculto::agotada()
{
    if (!m_actual)
        return;
    const bool entregada = m_actual->requestWritten();
    soltar();
    PaginaCargada pagina;
    pagina.direccion = m_pedida;
    pagina.entregada = entregada;
    avisar(pagina);
}

void NavegadorOculto::avisar(const PaginaCargada &pagina)
{
    // Last: the handler may start the next load.
    Q_EMIT paginaCargada(pagina);
}

} // namespace automation::birthdays
