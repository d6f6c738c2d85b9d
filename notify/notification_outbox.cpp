#include "notification_outbox.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

NotificationOutbox::NotificationOutbox(QSqlDatabase db, std::string instrument)
    : db_(std::move(db)), instrument_(std::move(instrument))
{}

bool NotificationOutbox::exec(const char* sql, const std::vector<QVariant>& values)
{
    lastError_.clear();
    QSqlQuery query(db_);
    // PostgreSQL prepares no CREATE: a statement without values goes as it is.
    if (values.empty()) {
        if (query.exec(QString::fromLatin1(sql)))
            return true;
        lastError_ = query.lastError().text().toStdString();
        return false;
    }
    if (!query.prepare(QString::fromLatin1(sql))) {
        lastError_ = query.lastError().text().toStdString();
        return false;
    }
    for (int i = 0; i < int(values.size()); ++i)
        query.bindValue(i, values[i]);
    if (query.exec())
        return true;
    lastError_ = query.lastError().text().toStdString();
    return false;
}

bool NotificationOutbox::prepare()
{
    return exec(
        "CREATE TABLE IF NOT EXISTS notification_outbox ("
        "instrument TEXT NOT NULL, recipient TEXT NOT NULL, point_key TEXT NOT NULL, "
        "raised_ms BIGINT NOT NULL, stage SMALLINT NOT NULL, due_ms BIGINT NOT NULL, "
        "created_ms BIGINT NOT NULL, subject TEXT NOT NULL, summary TEXT NOT NULL, body TEXT NOT NULL, "
        "json TEXT NOT NULL, sent_ms BIGINT, cancelled_ms BIGINT, attempts INTEGER NOT NULL DEFAULT 0, "
        "last_error TEXT NOT NULL DEFAULT '', "
        "PRIMARY KEY (instrument, recipient, point_key, raised_ms, stage))",
        {});
}

bool NotificationOutbox::put(const Notification& n, std::int64_t nowMs)
{
    // Another engine's raise of the same alarm: up to a day before this one
    // (the alarm went on while the recorder restarted), or a little after
    // (a standby's engine that saw the reading first).
    constexpr std::int64_t lookBackMs = 24 * 3600 * 1000;
    constexpr std::int64_t lookAheadMs = 60 * 1000;
    for (const std::string& recipient : n.recipients)
        if (!exec("INSERT INTO notification_outbox (instrument, recipient, point_key, raised_ms, stage, "
                  "due_ms, created_ms, subject, summary, body, json) "
                  "SELECT ?, ?, ?, CAST(? AS BIGINT), CAST(? AS SMALLINT), CAST(? AS BIGINT), CAST(? AS "
                  "BIGINT), ?, "
                  "?, ?, ? WHERE NOT CAST(? AS BOOLEAN) OR NOT EXISTS (SELECT 1 FROM notification_outbox "
                  "WHERE instrument = ? AND recipient = ? AND point_key = ? AND stage = ? "
                  "AND cancelled_ms IS NULL AND raised_ms BETWEEN ? AND ?) "
                  "ON CONFLICT DO NOTHING",
                {QString::fromStdString(instrument_), QString::fromStdString(recipient),
                    QString::fromStdString(n.pointKey), qlonglong(n.raisedMs), int(n.stage),
                    qlonglong(n.dueMs), qlonglong(nowMs), QString::fromStdString(n.subject),
                    QString::fromStdString(n.summary), QString::fromStdString(n.text),
                    QString::fromStdString(n.json), n.continued, QString::fromStdString(instrument_),
                    QString::fromStdString(recipient), QString::fromStdString(n.pointKey), int(n.stage),
                    qlonglong(n.raisedMs - lookBackMs), qlonglong(n.raisedMs + lookAheadMs)}))
            return false;
    return true;
}

// A row already sent is marked too: its alarm was acknowledged since, so a
// later raise of the point is a new one.
bool NotificationOutbox::cancel(const std::string& pointKey, std::int64_t nowMs)
{
    return exec("UPDATE notification_outbox SET cancelled_ms = ? WHERE instrument = ? AND point_key = ? "
                "AND stage < 2 AND cancelled_ms IS NULL",
        {qlonglong(nowMs), QString::fromStdString(instrument_), QString::fromStdString(pointKey)});
}

std::vector<std::string> NotificationOutbox::ready(std::int64_t nowMs, std::int64_t gapMs)
{
    std::vector<std::string> recipients;
    lastError_.clear();
    QSqlQuery query(db_);
    const bool prepared = query.prepare(QStringLiteral(
        "SELECT recipient FROM notification_outbox o WHERE instrument = ? AND sent_ms IS NULL AND "
        "cancelled_ms IS NULL AND due_ms <= ? GROUP BY instrument, recipient HAVING coalesce((SELECT "
        "max(sent_ms) FROM "
        "notification_outbox s WHERE s.instrument = o.instrument AND s.recipient = o.recipient), 0) <= ?"));
    if (!prepared) {
        lastError_ = query.lastError().text().toStdString();
        return recipients;
    }
    query.bindValue(0, QString::fromStdString(instrument_));
    query.bindValue(1, qlonglong(nowMs));
    query.bindValue(2, qlonglong(nowMs - gapMs));
    if (!query.exec()) {
        lastError_ = query.lastError().text().toStdString();
        return recipients;
    }
    while (query.next())
        recipients.push_back(query.value(0).toString().toStdString());
    return recipients;
}

std::vector<Notification> NotificationOutbox::unsent(const std::string& recipient, std::int64_t nowMs)
{
    std::vector<Notification> rows;
    lastError_.clear();
    QSqlQuery query(db_);
    const bool prepared = query.prepare(QStringLiteral(
        "SELECT point_key, raised_ms, stage, due_ms, subject, summary, body, json FROM notification_outbox "
        "WHERE instrument = ? AND recipient = ? AND sent_ms IS NULL AND cancelled_ms IS NULL AND due_ms <= ? "
        "ORDER BY due_ms, stage, point_key"));
    if (!prepared) {
        lastError_ = query.lastError().text().toStdString();
        return rows;
    }
    query.bindValue(0, QString::fromStdString(instrument_));
    query.bindValue(1, QString::fromStdString(recipient));
    query.bindValue(2, qlonglong(nowMs));
    if (!query.exec()) {
        lastError_ = query.lastError().text().toStdString();
        return rows;
    }
    while (query.next()) {
        Notification n;
        n.pointKey = query.value(0).toString().toStdString();
        n.raisedMs = query.value(1).toLongLong();
        n.stage = static_cast<Notification::Stage>(query.value(2).toInt());
        n.dueMs = query.value(3).toLongLong();
        n.subject = query.value(4).toString().toStdString();
        n.summary = query.value(5).toString().toStdString();
        n.text = query.value(6).toString().toStdString();
        n.json = query.value(7).toString().toStdString();
        n.recipients = {recipient};
        rows.push_back(std::move(n));
    }
    return rows;
}

bool NotificationOutbox::markSent(
    const std::string& recipient, const std::vector<Notification>& sent, std::int64_t nowMs)
{
    for (const Notification& n : sent)
        if (!exec("UPDATE notification_outbox SET sent_ms = ?, attempts = attempts + 1 WHERE instrument = ? "
                  "AND "
                  "recipient = ? AND point_key = ? AND raised_ms = ? AND stage = ?",
                {qlonglong(nowMs), QString::fromStdString(instrument_), QString::fromStdString(recipient),
                    QString::fromStdString(n.pointKey), qlonglong(n.raisedMs), int(n.stage)}))
            return false;
    return true;
}

bool NotificationOutbox::markFailed(
    const std::string& recipient, const std::vector<Notification>& tried, const std::string& why)
{
    for (const Notification& n : tried)
        if (!exec("UPDATE notification_outbox SET attempts = attempts + 1, last_error = ? WHERE instrument = "
                  "? AND "
                  "recipient = ? AND point_key = ? AND raised_ms = ? AND stage = ?",
                {QString::fromStdString(why), QString::fromStdString(instrument_),
                    QString::fromStdString(recipient), QString::fromStdString(n.pointKey),
                    qlonglong(n.raisedMs), int(n.stage)}))
            return false;
    return true;
}
