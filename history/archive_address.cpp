#include "archive_address.h"

#include <QUrl>

namespace History {

std::optional<ArchiveAddress> ArchiveAddress::parse(const std::string& text, std::string& error)
{
    const QString given = QString::fromStdString(text).trimmed();
    if (given.startsWith(QLatin1String("sqlite:"))) {
        ArchiveAddress address;
        address.kind = Kind::Sqlite;
        address.database = given.mid(7).toStdString();
        if (!address.database.empty())
            return address;
        error = "the archive \"sqlite:\" names no file";
        return std::nullopt;
    }
    const QUrl url(given, QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres"))) {
        error = "the archive must be postgresql://USER@HOST:PORT/DB or sqlite:PATH, not \"" + text + "\"";
        return std::nullopt;
    }
    if (!url.password().isEmpty()) {
        // Said without repeating the text: it holds the password.
        error = "the archive's name must not hold a password; put it in PGPASSWORD or ~/.pgpass";
        return std::nullopt;
    }
    ArchiveAddress address;
    address.user = url.userName().toStdString();
    address.host = url.host().toStdString();
    address.port = url.port(5432);
    address.database = url.path().mid(1).toStdString();
    if (address.user.empty() || address.host.empty() || address.database.empty()) {
        error = "the archive \"" + text +
            "\" lacks a user, a host or a database (postgresql://USER@HOST:PORT/DB)";
        return std::nullopt;
    }
    return address;
}

std::string ArchiveAddress::label() const
{
    if (kind == Kind::Sqlite)
        return "archive sqlite:" + database;
    return "archive " + user + "@" + host + ":" + std::to_string(port) + "/" + database;
}

QSqlDatabase ArchiveAddress::addDatabase(const QString& connection, int connectSeconds) const
{
    if (kind == Kind::Sqlite) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QString::fromStdString(database));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        return db;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(QString::fromStdString(host));
    db.setPort(port);
    db.setUserName(QString::fromStdString(user));
    db.setDatabaseName(QString::fromStdString(database));
    db.setConnectOptions(QStringLiteral("connect_timeout=%1;application_name=kov").arg(connectSeconds));
    return db;
}

} // namespace History
