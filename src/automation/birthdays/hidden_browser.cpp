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

HiddenBrowser::HiddenBrowser(QObject *parent) : QObject(parent), m_cookies(new QNetworkCookieJar(this))
{
    // Its own jar: the gateway's session cookies live as long as this browser, like the old
    // control's, and never mix with the other channels'.
    m_deadlineTimer.setSingleShot(true);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &HiddenBrowser::onTimedOut);
}

HiddenBrowser::~HiddenBrowser()
{
    dropLoad();
}

void HiddenBrowser::navigate(const QUrl &url)
{
    dropLoad();
    m_requestedUrl = url;
    m_redirects = 0;
    startLoad("GET", url, {}, {});
    m_deadlineTimer.start(m_timeout);
}

void HiddenBrowser::submit(const QUrl &action, bool post, const QByteArray &body, const QUrl &referrer)
{
    dropLoad();
    QUrl target = action;
    target.setFragment(QString());
    if (!post)
        target.setQuery(QString::fromLatin1(body), QUrl::StrictMode);
    m_requestedUrl = target;
    m_redirects = 0;
    startLoad(post ? QByteArray("POST") : QByteArray("GET"), target, post ? body : QByteArray(), referrer);
    m_deadlineTimer.start(m_timeout);
}

void HiddenBrowser::startLoad(const QByteArray &method, const QUrl &target, const QByteArray &body,
                              const QUrl &referrer)
{
    m_currentUrl = target;
    m_method = method;
    m_body = body;
    net::HttpExchange::Request request;
    request.method = method;
    request.url = target.toString(QUrl::FullyEncoded);
    request.body = body;
    request.bodyLimit = kMaxPageSize;
    if (!referrer.isEmpty())
        request.headers.append({"Referer", referrer.toEncoded(QUrl::RemoveFragment | QUrl::RemoveUserInfo)});
    QByteArray cookieHeader;
    for (const QNetworkCookie &cookie : m_cookies->cookiesForUrl(target)) {
        if (!cookieHeader.isEmpty())
            cookieHeader += "; ";
        cookieHeader += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    if (!cookieHeader.isEmpty())
        request.headers.append({"Cookie", cookieHeader});

    m_exchange = new net::HttpExchange(this);
    connect(m_exchange, &net::HttpExchange::finished, this, &HiddenBrowser::onFinished);
    // The deadline is a silence: a page that keeps coming is not cut for its length.
    connect(m_exchange, &net::HttpExchange::progressed, this, [this] {
        if (m_deadlineTimer.isActive())
            m_deadlineTimer.start(m_timeout);
    });
    m_exchange->start(request);
}

void HiddenBrowser::dropLoad()
{
    m_deadlineTimer.stop();
    if (net::HttpExchange *exchange = std::exchange(m_exchange, nullptr)) {
        disconnect(exchange, nullptr, this, nullptr);
        exchange->abort();
        exchange->deleteLater();
    }
}

void HiddenBrowser::onFinished(const net::HttpResult &result)
{
    net::HttpExchange *exchange = std::exchange(m_exchange, nullptr);
    if (!exchange)
        return;
    exchange->deleteLater();

    if (result.answered()) {
        QList<QNetworkCookie> received;
        for (const QByteArray &header : result.headerValues("Set-Cookie"))
            received += QNetworkCookie::parseCookies(header);
        if (!received.isEmpty())
            m_cookies->setCookiesFromUrl(received, m_currentUrl);

        const QByteArray location = result.header("Location");
        if (isRedirect(result.httpStatus) && !location.isEmpty()) {
            const QUrl next = m_currentUrl.resolved(QUrl::fromEncoded(location));
            // As a browser: never from https down to http, and not for ever.
            const bool allowed = next.isValid()
                && (next.scheme() == QLatin1String("http") || next.scheme() == QLatin1String("https"))
                && !(m_currentUrl.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http"));
            if (allowed && m_redirects < kMaxRedirects) {
                ++m_redirects;
                // 307 and 308 repeat the method; the others lead to the page with a GET. A POST is
                // repeated only when the server asks for exactly that, having not acted on it.
                const bool repeatMethod = result.httpStatus == 307 || result.httpStatus == 308;
                startLoad(repeatMethod ? m_method : QByteArray("GET"), next, repeatMethod ? m_body : QByteArray(), {});
                return;
            }
        }
    }

    m_deadlineTimer.stop();
    LoadedPage page;
    if (result.answered()) {
        page.answered = true;
        page.url = m_currentUrl;
        page.contentType = result.header("Content-Type");
        page.html = net::decodeBody(result.body, page.contentType);
    } else {
        page.url = result.status == net::HttpResult::Status::TooLarge ? m_currentUrl : m_requestedUrl;
        page.delivered = result.requestWritten;
        page.tooLarge = result.status == net::HttpResult::Status::TooLarge;
    }
    report(page);
}

void HiddenBrowser::onTimedOut()
{
    if (!m_exchange)
        return;
    const bool delivered = m_exchange->requestWritten();
    dropLoad();
    LoadedPage page;
    page.url = m_requestedUrl;
    page.delivered = delivered;
    report(page);
}

void HiddenBrowser::report(const LoadedPage &page)
{
    // Last: the handler may start the next load.
    Q_EMIT pageLoaded(page);
}

} // namespace automation::birthdays
