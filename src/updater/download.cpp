#include "updater/download.h"

#include "platform/files/durable_write.h"
#include "updater/program_image.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>

namespace updater {
namespace {

constexpr qint64 kImageHead = 4;

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

QString networkProblem(QNetworkReply::NetworkError error, const QString &detail)
{
    switch (error) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("Se ha agotado el tiempo de espera de la descarga. Compruebe su conexión a "
                              "Internet e inténtelo de nuevo.");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("No se encuentra el servidor de descargas. Compruebe su conexión a Internet.");
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("El servidor de descargas ha rechazado la conexión. Inténtelo de nuevo más tarde.");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("El servidor de descargas ha cortado la conexión antes de terminar. "
                              "Inténtelo de nuevo.");
    default:
        return QStringLiteral("No se ha podido descargar el archivo (%1).").arg(detail);
    }
}

} // namespace

Download::Download(QNetworkAccessManager &network, QObject *parent) : QObject(parent), m_network(network)
{
    m_beat.setInterval(std::chrono::milliseconds(250));
    connect(&m_beat, &QTimer::timeout, this, &Download::reportProgress);
}

Download::~Download()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply.data();
    }
}

void Download::setProgressInterval(std::chrono::milliseconds interval)
{
    m_beat.setInterval(interval);
}

void Download::start(const QString &url, const QString &filePath)
{
    if (m_running)
        return;
    m_running = true;
    m_cancelled = false;
    m_tooLarge = false;
    m_received = 0;
    m_written = 0;
    m_expected = -1;
    m_fileError.clear();
    m_result = {};
    m_clock.start();

    m_file.setFileName(filePath);
    // Unbuffered: every write reaches the system at once, and its failure comes with the system's
    // own reason (a full disk, a quota), not with a later flush's.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        const QString reason = m_file.errorString();
        QMetaObject::invokeMethod(this, [this, filePath, reason] {
            finish({true,
                    QStringLiteral("No se puede crear el archivo %1 (%2). Compruebe que tiene permiso "
                                   "de escritura en la carpeta del programa.")
                        .arg(filePath, reason),
                    QStringLiteral("no se puede crear %1: %2").arg(filePath, reason)});
        }, Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(int(m_timeout.count()));
    // A cached copy could be an older client.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &Download::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &Download::onReplyFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        m_received = received;
        if (total > 0 && isSuccess(statusCode()))
            m_expected = total;
        // An error page is not kept, so only a successful answer's size counts.
        const qint64 announced = isSuccess(statusCode()) ? total : -1;
        if (std::max(m_written, announced) > m_sizeLimit && !m_tooLarge && m_reply) {
            m_tooLarge = true;
            m_reply->abort();
            return;
        }
        reportProgress();
    });
    m_beat.start();
}

void Download::cancel()
{
    if (!m_running || !m_reply)
        return;
    m_cancelled = true;
    m_reply->abort();
}

QString Download::httpStatus() const
{
    if (!m_running)
        return {};
    const int status = statusCode();
    return status == 0 || isSuccess(status) ? QStringLiteral("200") : QString::number(status);
}

int Download::statusCode() const
{
    return m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
}

void Download::onReadyRead()
{
    const QByteArray chunk = m_reply->readAll();
    // An error page is not the program: only a successful answer's body reaches the file.
    if (!isSuccess(statusCode()) || !m_fileError.isEmpty() || m_tooLarge)
        return;
    if (m_written + chunk.size() > m_sizeLimit) {
        m_tooLarge = true;
        m_reply->abort();
        return;
    }
    if (const int error = files::writeAll(m_file.handle(), chunk)) {
        m_fileError = files::systemReason(error);
        m_reply->abort();
        return;
    }
    m_written += chunk.size();
}

void Download::reportProgress()
{
    if (!m_running)
        return;
    Progress now;
    now.secondsElapsed = m_clock.elapsed() / 1000;
    now.received = m_received;
    if (m_expected > 0) {
        now.total = m_expected;
        now.percent = 100.0 * double(std::min(m_received, m_expected)) / double(m_expected);
        const double seconds = double(m_clock.elapsed()) / 1000.0;
        const double rate = seconds > 0 ? double(m_received) / seconds : 0;
        now.secondsRemaining = rate > 0 ? double(m_expected - std::min(m_received, m_expected)) / rate : 0;
    }
    Q_EMIT progress(now);
}

void Download::onReplyFinished()
{
    // Everything still buffered belongs to the body.
    if (m_reply->bytesAvailable() > 0)
        onReadyRead();
    finish(judge());
}

DownloadResult Download::judge()
{
    const QNetworkReply::NetworkError error = m_reply->error();
    const QString detail = m_reply->errorString();
    const int status = statusCode();
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    const bool chunked = m_reply->rawHeader("Transfer-Encoding").toLower().contains("chunked");

    // On the disk before it may replace the client: a power cut after the swap must not leave an
    // empty or partial client in its place.
    if (m_fileError.isEmpty() && m_file.isOpen() && !m_cancelled && !m_tooLarge) {
        if (const int error = files::syncDescriptor(m_file.handle()))
            m_fileError = files::systemReason(error);
    }
    if (!m_fileError.isEmpty()) {
        const QString reason = m_fileError;
        return {true,
                QStringLiteral("No se puede escribir el archivo %1 (%2). Compruebe que tiene permiso de "
                               "escritura y espacio libre en la carpeta del programa.")
                    .arg(m_file.fileName(), reason),
                QStringLiteral("no se puede escribir %1: %2").arg(m_file.fileName(), reason)};
    }
    if (m_cancelled)
        return {false, QStringLiteral("La descarga se ha cancelado.")};
    if (m_tooLarge)
        return {true,
                QStringLiteral("El archivo que ofrece el servidor supera el tamaño máximo de %1 bytes; no se "
                               "ha descargado.")
                    .arg(m_sizeLimit),
                QStringLiteral("supera el tamaño máximo de %1 bytes").arg(m_sizeLimit)};
    if (status != 0 && !isSuccess(status))
        return {true,
                QStringLiteral("El servidor ha respondido con el error HTTP %1. No se ha descargado el archivo.")
                    .arg(status),
                QStringLiteral("el servidor ha respondido con el error HTTP %1").arg(status)};
    if (announced.isValid() && announced.toLongLong() != m_written)
        return {true,
                QStringLiteral("La descarga está incompleta: se han recibido %1 de %2 bytes. Inténtelo de nuevo.")
                    .arg(m_written)
                    .arg(announced.toLongLong()),
                QStringLiteral("se han recibido %1 de %2 bytes").arg(m_written).arg(announced.toLongLong())};
    if (error != QNetworkReply::NoError)
        return {true, networkProblem(error, detail), QStringLiteral("problema de red: %1").arg(detail)};
    // Without a length only chunked framing tells a whole body from a cut one.
    if (!announced.isValid() && !chunked)
        return {true,
                QStringLiteral("El servidor no ha indicado el tamaño del archivo; no se puede comprobar "
                               "que la descarga esté completa."),
                QStringLiteral("el servidor no ha indicado su tamaño")};
    if (m_written == 0)
        return {true, QStringLiteral("El archivo descargado está vacío."), QStringLiteral("ha llegado vacía")};

    m_file.close();
    QFile written(m_file.fileName());
    if (!written.open(QIODevice::ReadOnly) || written.size() != m_written)
        return {true, QStringLiteral("No se puede comprobar el archivo descargado %1.").arg(m_file.fileName()),
                QStringLiteral("no se puede leer %1").arg(m_file.fileName())};
    if (m_programExpected && !isProgramImage(written.read(kImageHead)))
        return {true, QStringLiteral("El archivo descargado no es un programa. El servidor de descargas no lo "
                                     "ha ofrecido correctamente; inténtelo de nuevo más tarde.")};
    return {false, DownloadResult::okStatus()};
}

void Download::finish(DownloadResult result)
{
    m_beat.stop();
    if (m_file.isOpen())
        m_file.close();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_running = false;
    m_result = std::move(result);
    Q_EMIT finished(m_result);
}

} // namespace updater
