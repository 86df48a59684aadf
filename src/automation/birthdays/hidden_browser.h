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

struct LoadedPage {
    QUrl url;          // where the page ended up (after redirects)
    QString html;            // the page's source, decoded by its charset
    QByteArray contentType;
    bool answered = false; // false: refused, reset, timed out or too large
    // No page, but the whole request had reached the gateway: it may have acted on it.
    bool delivered = false;
    // The server answered with a page past kMaxPageSize: not read, and no page of the gateway's.
    bool tooLarge = false;
};

class HiddenBrowser final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HiddenBrowser)

public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{60000};
    // The form page and the result are a few kilobytes.
    static constexpr qint64 kMaxPageSize = 4 * 1024 * 1024;
    // Redirects followed for one load, as a browser caps them.
    static constexpr int kMaxRedirects = 10;

    explicit HiddenBrowser(QObject *parent = nullptr);
    ~HiddenBrowser() override;

    // A new load drops the one still under way, as a browser does.
    void navigate(const QUrl &url);
    // Submits form bytes to the action: a POST with the form content type, or a GET with the bytes
    // as the query. `referente` is the page the form came from.
    void submit(const QUrl &action, bool post, const QByteArray &body, const QUrl &referrer);

    bool isLoading() const { return m_exchange != nullptr; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

Q_SIGNALS:
    void pageLoaded(const automation::birthdays::LoadedPage &page);

private:
    void startLoad(const QByteArray &method, const QUrl &target, const QByteArray &body, const QUrl &referrer);
    void onFinished(const net::HttpResult &result);
    void onTimedOut();
    void dropLoad();
    void report(const LoadedPage &page);

    QNetworkCookieJar *m_cookies;
    net::HttpExchange *m_exchange = nullptr;
    QUrl m_requestedUrl;   // the address the caller asked for
    QUrl m_currentUrl;  // the address being loaded now (after redirects)
    QByteArray m_method;
    QByteArray m_body;
    int m_redirects = 0;
    QTimer m_deadlineTimer;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
};

} // namespace automation::birthdays
