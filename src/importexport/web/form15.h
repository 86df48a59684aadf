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
namespace startup { struct AppContext; }

namespace importexport::web {

// The web upload window (objectName `Form15`): uploads the local contact book to the web account,
// one contact per request.
class Form15 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form15)

public:
    explicit Form15(startup::AppContext &context, QWidget *parent = nullptr);
    ~Form15() override;

    QGroupBox *Frame1 = nullptr;
    QLabel *SkinLabel1 = nullptr;
    QLabel *SkinLabel9 = nullptr;   // progress
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr;

    net::GatewayChannel &WebBrowser1() { return *m_channel; }

    void Command1_Click();
    void WebBrowser1_DocumentComplete(const net::GatewayReply &reply);

    bool uploading() const { return m_uploading; }
    int answered() const { return m_answered; }
    int created() const { return m_created; }
    int queued() const { return int(m_queue.size()); }

Q_SIGNALS:
    // The upload ended (all answered) or stopped (refusal, missing data, no connection); emitted
    // before the boxes that report it.
    void uploadEnded(int created);

private:
    void sendNext();

    startup::AppContext &m_context;
    net::GatewayChannel *m_channel;
    Account m_account;
    std::deque<UploadContact> m_queue;
    int m_answered = 0;
    int m_created = 0;
    bool m_uploading = false;
};

} // namespace importexport::web
