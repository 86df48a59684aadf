#include "automation/birthdays/hidden_browser.h"

#include "platform/net/reply_text.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace automation::birthdays {

NavegadorOculto::NavegadorOculto(QObject *parent) : QObject(parent), m_red(new QNetworkAccessManager(this))
{
    // Its own jar: the gateway's session cookies live as long as this browser, like the old
    // control's, and never mix with the other channels'.
    m_red->setCookieJar(new QNetworkCookieJar(m_red));
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
    QNetworkRequest peticion(direccion);
    peticion.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    empezar(m_red->get(peticion), direccion);
}

void NavegadorOculto::enviar(const QUrl &accion, bool post, const QByteArray &datos, const QUrl &referente)
{
    soltar();
    QUrl destino = accion;
    if (!post) {
        destino.setQuery(QString::fromLatin1(datos), QUrl::StrictMode);
        destino.setFragment(QString());
    }
    QNetworkRequest peticion(destino);
    peticion.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    peticion.setRawHeader("Referer", referente.toEncoded());
    if (post) {
        peticion.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
        empezar(m_red->post(peticion, datos), destino);
    } else {
        empezar(m_red->get(peticion), destino);
    }
}

void NavegadorOculto::empezar(QNetworkReply *respuesta, const QUrl &pedida)
{
    m_actual = respuesta;
    m_pedida = pedida;
    connect(respuesta, &QNetworkReply::finished, this, [this, respuesta] { terminada(respuesta); });
    m_plazo.start(m_tiempoMaximo);
}

void NavegadorOculto::soltar()
{
    m_plazo.stop();
    if (QNetworkReply *respuesta = m_actual.data()) {
        m_actual.clear();
        disconnect(respuesta, nullptr, this, nullptr);
        respuesta->abort();
        respuesta->deleteLater();
    }
}

void NavegadorOculto::terminada(QNetworkReply *respuesta)
{
    if (respuesta != m_actual.data())
        return;
    m_plazo.stop();
    m_actual.clear();
    respuesta->deleteLater();
    PaginaCargada pagina;
    const int estado = respuesta->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (estado > 0) {
        pagina.respondida = true;
        pagina.direccion = respuesta->url();
        pagina.contentType = respuesta->rawHeader("Content-Type");
        pagina.html = net::decodeBody(respuesta->readAll(), pagina.contentType);
    } else {
        pagina.direccion = m_pedida;
    }
    // Last: the handler may start the next load.
    Q_EMIT paginaCargada(pagina);
}

void NavegadorOculto::agotada()
{
    if (m_actual.isNull())
        return;
    soltar();
    PaginaCargada pagina;
    pagina.direccion = m_pedida;
    Q_EMIT paginaCargada(pagina);
}

} // namespace automation::birthdays
