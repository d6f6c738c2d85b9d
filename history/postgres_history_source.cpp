#include "postgres_history_source.h"

#include <atomic>

namespace History {

namespace {

QString connectionName()
{
    static std::atomic<int> count{0};
    return QStringLiteral("kov_archive_reader_%1").arg(++count);
}

} // namespace

PostgresHistorySource::PostgresHistorySource(const ArchiveAddress& address)
    : PostgresHistorySource(address, connectionName())
{}

PostgresHistorySource::PostgresHistorySource(const ArchiveAddress& address, const QString& connection)
    : SqliteHistorySource(address.addDatabase(connection, 3), connection, address.label())
{}

} // namespace History
