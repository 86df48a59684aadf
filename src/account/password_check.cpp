#include "account/password_check.h"

namespace account::password {

Check checkPassword(db::Connection &connection, const QString &typed)
{
    db::Result result;
    const QVariant found = connection.scalar(
        QStringLiteral("SELECT count(*) FROM Usuario WHERE pass=?1"), {typed}, &result);
    if (!result.ok())
        return Check::Failed;
    return found.toLongLong() > 0 ? Check::Correct : Check::Wrong;
}

Target targetFor(const QString &code)
{
    if (code == QLatin1String("9"))
        return Target::SenderAdmin;
    if (code == QLatin1String("14"))
        return Target::WebDownload;
    if (code == QLatin1String("15"))
        return Target::WebUpload;
    return Target::None;
}

} // namespace account::password
