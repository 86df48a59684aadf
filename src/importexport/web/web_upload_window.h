#pragma once

#include "importexport/web/web_upload.h"
#include "platform/net/gateway_reply.h"

#include <QWidget>

#include <deque>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace net { class GatewayChannel; }
namespace seams { struct AppContext; }

namespace importexport::web {

// The web upload window (objectName `Form15`): uploads the local contact book to the web account,
// one contact per request.
class WebUploadWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebUploadWindow)

public:
    explicit WebUploadWindow(seams::AppContext &context, QWidget *parent = nullptr);
    ~WebUploadWindow() override;

    QGroupBox *mainFrame = nullptr;
    QLabel *introLabel = nullptr;
    QLabel *progressLabel = nullptr;   // progress
    QCheckBox *skipExistingPhoneCheck = nullptr;
    QPushButton *exportButton = nullptr;

    net::GatewayChannel &browser() { return *m_channel; }

    void startUpload();
    void handleReply(const net::GatewayReply &reply);

    bool uploading() const { return m_uploading; }
    int answered() const { return m_answered; }
    int created() const { return m_created; }
    int queued() const { return int(m_queue.size()); }

Q_SIGNALS:
    // The upload ended (all answered) or stopped (refusal, missing data, no connection, a reply
    // too large to read); emitted before the boxes that report it.
    void uploadEnded(int created);

private:
    void sendNext();
    // Ends the upload; a non-empty `stopText` says why it stopped early.
    void endUpload(const QString &stopText, const QString &stopTitle);

    seams::AppContext &m_context;
    net::GatewayChannel *m_channel;
    Account m_account;
    std::deque<UploadContact> m_queue;
    QString m_lastSentName;   // the contact of the request in flight
    int m_answered = 0;
    int m_created = 0;
    bool m_uploading = false;
};

} // namespace importexport::web
