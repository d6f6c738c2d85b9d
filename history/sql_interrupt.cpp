#include "sql_interrupt.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/socket.h>

#include <cstring>

namespace {

// Steps of the busy wait: an interrupt is seen within one.
constexpr int busyStepMs = 10;
// Virtual machine steps between two looks at the interrupt (about a
// millisecond or less).
constexpr int progressSteps = 1000;

// The driver's handle when it is of that type (Qt names the type as the
// driver's header declared it: the struct's or the typedef's name).
template<class Handle>
Handle handleOf(const QVariant& handle, std::initializer_list<const char*> typeNames)
{
    if (!handle.isValid())
        return nullptr;
    for (const char* name : typeNames)
        if (std::strcmp(handle.typeName(), name) == 0)
            return *static_cast<const Handle*>(handle.constData());
    return nullptr;
}

} // namespace

void SqlInterrupt::attach(const QSqlDatabase& db, int busyMs)
{
    if (!db.isOpen() || !db.driver())
        return;
    const QVariant handle = db.driver()->handle();
    std::lock_guard<std::mutex> lock(mutex_);
    busyMs_ = busyMs;
    if (sqlite3* sqlite = handleOf<sqlite3*>(handle, {"sqlite3*"})) {
        sqlite_ = sqlite;
        sqlite3_busy_handler(sqlite, &SqlInterrupt::onBusy, this);
        sqlite3_progress_handler(sqlite, progressSteps, &SqlInterrupt::onProgress, this);
    } else if (PGconn* postgres = handleOf<PGconn*>(handle, {"PGconn*", "pg_conn*"})) {
        socket_ = PQsocket(postgres);
    }
    if (interrupted_)
        stopLocked();
}

void SqlInterrupt::detach()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (sqlite_) {
        sqlite3_progress_handler(sqlite_, 0, nullptr, nullptr);
        sqlite3_busy_handler(sqlite_, nullptr, nullptr);
    }
    sqlite_ = nullptr;
    socket_ = -1;
}

void SqlInterrupt::interrupt()
{
    interrupted_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    stopLocked();
}

// Safe from any thread while the connection is open: the mutex keeps
// detach(), and so the close, out meanwhile.
void SqlInterrupt::stopLocked()
{
    if (sqlite_)
        sqlite3_interrupt(sqlite_);
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
}

int SqlInterrupt::onBusy(void* self, int count)
{
    auto* interrupt = static_cast<SqlInterrupt*>(self);
    if (interrupt->interrupted_ || count * busyStepMs >= interrupt->busyMs_)
        return 0;
    sqlite3_sleep(busyStepMs);
    return 1;
}

int SqlInterrupt::onProgress(void* self)
{
    return static_cast<SqlInterrupt*>(self)->interrupted_ ? 1 : 0;
}
