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

PostgresHistorySource::PostgresHistorySource(const ArchiveAddress& address, const std::string& instrument)
    : PostgresHistorySource(address, instrument, connectionName())
{}

PostgresHistorySource::PostgresHistorySource(
    const ArchiveAddress& address, const std::string& instrument, const QString& connection)
    : SqliteHistorySource(address.addDatabase(connection, 3), connection, address.label())
{
    // A "sqlite:" archive is one instrument's, as the recorder writes it.
    if (address.kind == ArchiveAddress::Kind::Postgres)
        setInstrument(instrument);
}

} // namespace History
