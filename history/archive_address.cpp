#include "archive_address.h"

#include <QUrl>

namespace History {

namespace {

const std::string hidden = "***";

// A role's name as people write them; anything else may be a mistyped
// password and is not repeated.
bool plainName(const std::string& name)
{
    return !name.empty() &&
        name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
        std::string::npos;
}

std::string shownUser(const std::string& userInfo)
{
    const std::size_t colon = userInfo.find(':');
    const std::string user = userInfo.substr(0, colon);
    return (user.empty() || plainName(user) ? user : hidden) +
        (colon == std::string::npos ? "" : ":" + hidden);
}

// HOST[:PORT][/PATH]: a port that is not a number may be a password
// written without its '@'.
std::string shownHost(const std::string& hostPart)
{
    const std::size_t slash = hostPart.find('/');
    const std::string authority = hostPart.substr(0, slash);
    const std::string path = slash == std::string::npos ? "" : hostPart.substr(slash);
    const std::size_t bracket = authority.rfind(']');
    const std::size_t colon = authority.find(':', bracket == std::string::npos ? 0 : bracket);
    if (colon == std::string::npos)
        return authority + path;
    const std::string port = authority.substr(colon + 1);
    const bool number = port.find_first_not_of("0123456789") == std::string::npos;
    return authority.substr(0, colon + 1) + (number ? port : hidden) + path;
}

} // namespace

std::string ArchiveAddress::shown(const std::string& text)
{
    const std::string given = QString::fromStdString(text).trimmed().toStdString();
    if (given.rfind("sqlite:", 0) == 0)
        return given;
    const std::size_t schemeEnd = given.find("://");
    const std::size_t start = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    std::string rest = given.substr(start);
    // A query may carry "password=": shown as hidden whatever it says.
    std::string query;
    const std::size_t at = rest.rfind('@');
    const std::size_t mark = rest.find_first_of("?#", at == std::string::npos ? 0 : at);
    if (mark != std::string::npos) {
        query = "?" + hidden;
        rest.erase(mark);
    }
    const std::string user = at == std::string::npos ? "" : shownUser(rest.substr(0, at)) + "@";
    return given.substr(0, start) + user + shownHost(at == std::string::npos ? rest : rest.substr(at + 1)) +
        query;
}

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
        error =
            "the archive must be postgresql://USER@HOST:PORT/DB or sqlite:PATH, not \"" + shown(text) + "\"";
        return std::nullopt;
    }
    // libpq would take a password from "?password=", or from a user name
    // with an encoded colon; neither is ever repeated.
    if (!url.password().isEmpty() || url.userName().contains(QLatin1Char(':')) || url.hasQuery() ||
        url.hasFragment()) {
        error = "the archive's name must not hold a password or ?parameters (\"" + shown(text) +
            "\"); put the password in PGPASSWORD or ~/.pgpass";
        return std::nullopt;
    }
    ArchiveAddress address;
    address.user = url.userName().toStdString();
    address.host = url.host().toStdString();
    address.port = url.port(5432);
    address.database = url.path().mid(1).toStdString();
    if (address.user.empty() || address.host.empty() || address.database.empty()) {
        error = "the archive \"" + shown(text) +
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
