#pragma once

#include "importexport/web/web_download.h"
#include "platform/net/gateway_reply.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace net { class GatewayChannel; }
namespace startup {
struct AppContext;
class ListViews;
}

namespace importexport::web {

// The web download window (objectName `Form14`): downloads the web account's contacts into the
// local book.
class Form14 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form14)

public:
    // `lists` (may be null) redraws the main window's contact list after contacts were added.
    Form14(startup::AppContext &context, startup::ListViews *lists, QWidget *parent = nullptr);
    ~Form14() override;

    QGroupBox *Frame1 = nullptr;
    QLabel *SkinLabel1 = nullptr;
    QLabel *SkinLabel2 = nullptr;
    QLabel *SkinLabel3 = nullptr;
    QLabel *SkinLabel4 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QPushButton *Command1 = nullptr;

    // The hidden browser's stand-in: the request line and its counter (`contador_buf`).
    net::GatewayChannel &WebBrowser1() { return *m_channel; }

    void Command1_Click();
    void WebBrowser1_DocumentComplete(const net::GatewayReply &reply);

Q_SIGNALS:
    // After every handled reply, once its box was shown.
    void replyHandled(const importexport::web::DownloadOutcome &outcome);

private:
    void Check1_Click();

    startup::AppContext &m_context;
    startup::ListViews *m_lists;
    net::GatewayChannel *m_channel;
};

} // namespace importexport::web
