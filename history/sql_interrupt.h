#pragma once

#include <atomic>
#include <mutex>

class QSqlDatabase;
struct sqlite3;

// Ends the work of one Qt SQL connection from another thread, at once and
// for good: what a program waits for before it exits (a writer or reader
// thread must not be left inside the database while the program's statics
// and plugins go). The connection's own thread then sees its statements
// fail; what was committed stays committed.
// SQLite: a progress handler and a busy handler that give up once asked
// (the busy handler otherwise waits up to the busy time for another
// writer); PostgreSQL: the connection's socket is shut down, so that a
// query fails at once even when the server has gone silent.
class SqlInterrupt {
public:
    SqlInterrupt() = default;
    SqlInterrupt(const SqlInterrupt&) = delete;
    SqlInterrupt& operator=(const SqlInterrupt&) = delete;

    // On the connection's thread, right after it opened (and after an
    // interrupt() it fails at once).
    void attach(const QSqlDatabase& db, int busyMs);
    // On the connection's thread, before it closes.
    void detach();

    // Any thread.
    void interrupt();
    bool interrupted() const { return interrupted_; }

private:
    void stopLocked();
    static int onBusy(void* self, int count);
    static int onProgress(void* self);

    std::mutex mutex_; // the handle or socket, against a close meanwhile
    sqlite3* sqlite_ = nullptr;
    int socket_ = -1;
    int busyMs_ = 0;
    std::atomic<bool> interrupted_{false};
};
