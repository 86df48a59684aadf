#pragma once

#include <QString>

#include <vector>

namespace db {
class Connection;
}

// The `Plantillas` table: the saved templates, in the order they were created.
namespace sending {

struct TemplateRow {
    qint64 sid = 0;
    QString name;
    QString message;    // as stored: line breaks as CR LF
};

enum class TemplateStatus {
    Ok,
    NotFound,   // the row is gone (deleted from another workstation, or the list was out of date)
    Failed      // the database refused (locked too long, file gone)
};

struct TemplateResult {
    TemplateStatus status = TemplateStatus::Ok;
    qint64 sid = 0;         // the row written or read
    TemplateRow row;    // get() only
    QString error;          // the engine's message, for logs and tests
    bool ok() const { return status == TemplateStatus::Ok; }
};

struct TemplateList {
    TemplateStatus status = TemplateStatus::Ok;
    std::vector<TemplateRow> rows;
    QString error;
    bool ok() const { return status == TemplateStatus::Ok; }
};

// Every value is bound, so names and texts with quotes, accents and line breaks are kept exactly.
// The store checks nothing about the values: validateTemplate() does that before a save.
class TemplateStore final {
public:
    explicit TemplateStore(db::Connection &connection) : m_connection(connection) {}
    TemplateStore(const TemplateStore &) = delete;
    TemplateStore &operator=(const TemplateStore &) = delete;

    TemplateList list();
    TemplateResult get(qint64 sid);
    TemplateResult create(const QString &name, const QString &message);
    // NotFound when no row has that sid any more: nothing is written then.
    TemplateResult modify(qint64 sid, const QString &name, const QString &message);
    TemplateResult remove(qint64 sid);

private:
    db::Connection &m_connection;
};

} // namespace sending
