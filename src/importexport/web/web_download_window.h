#pragma once

#include "importexport/web/web_download.h"
#include "platform/net/gateway_reply.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace net { class GatewayChannel; }
namespace seams {
struct AppContext;
class ListViews;
}

namespace importexport::web {

// The web download window (objectName `Form14`): downloads the web account's contacts into the
// local contacts.
class WebDownloadWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebDownloadWindow)

public:
    // `lists` (may be null) redraws the main window's contact list after contacts were added.
    WebDownloadWindow(seams::AppContext &context, seams::ListViews *lists, QWidget *parent = nullptr);
    ~WebDownloadWindow() override;

    QGroupBox *mainFrame = nullptr;
    QLabel *introLabel = nullptr;
    QLabel *instructionLabel = nullptr;
    QLabel *waitLabel = nullptr;
    QLabel *noteLabel = nullptr;
    QCheckBox *skipExistingPhoneCheck = nullptr;
    QCheckBox *skipDuplicatesCheck = nullptr;
    QPushButton *importButton = nullptr;

    // The hidden browser's stand-in: the request line and its counter (`contador_buf`).
    net::GatewayChannel &browser() { return *m_channel; }

    void requestDownload();
    void handleReply(const net::GatewayReply &reply);

Q_SIGNALS:
    // After every handled reply, once its box was shown.
    void replyHandled(const importexport::web::DownloadOutcome &outcome);

private:
    void onSkipExistingPhoneClicked();

    seams::AppContext &m_context;
    seams::ListViews *m_lists;
    net::GatewayChannel *m_channel;
};

} // namespace importexport::web
