#pragma once

#include "sending/send_reply.h"
#include "sending/send_request.h"

#include <QDateTime>
#include <QString>

// A send whose request reached the gateway but whose answer never came in time (a time-out, a
// connection dropped after the request went out), or came as something that is neither a success
// nor a refusal: the gateway may have charged it. The user is
// told so, never invited to simply try again; the answer, if it comes later, is recorded then.
namespace sending {

// The box text of an interactive send with an unknown outcome.
QString unknownOutcomeText();

// What such a send means now: no row yet, the send button free again; a box in interactive mode,
// a line for "error_auto.txt" in automated mode (and the queue moves on).
ReplyOutcome unknownReplyOutcome(const SendRequest &request, const QDateTime &now);

// The error log line of an automated send with an unknown outcome (CR LF ended).
QString unknownOutcomeLogLine(const QDateTime &now, const QString &recipients, const QString &message);

// The gateway answered, but with neither a success nor a refusal (an empty page, an error page,
// an HTTP error): the same warning, told as what it is.
QString unrecognisedReplyText();
ReplyOutcome unrecognisedReplyOutcome(const SendRequest &request, const QDateTime &now);
QString unrecognisedReplyLogLine(const QDateTime &now, const QString &recipients, const QString &message);

} // namespace sending
