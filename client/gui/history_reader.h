#pragma once

#include "history_source.h"

#include <functional>
#include <memory>

class QObject;
class QThread;

// The thread the windows read the history on. It creates its source with the
// factory on that thread (a database connection belongs to the thread that
// opened it), runs the posted jobs one after another and hands each job's
// answer back to the GUI thread. Without a factory the jobs get no source.
class HistoryReader {
public:
    using Factory = std::function<std::unique_ptr<History::HistorySource>()>;
    // Runs on the reader's thread with the source (null when there is none)
    // and answers what to run on the GUI thread afterwards (may be empty).
    using Job = std::function<std::function<void()>(History::HistorySource* source)>;

    // Answers run on `context`'s thread, and not at all once it is gone.
    HistoryReader(Factory factory, QObject* context);
    // Drops the queued jobs, interrupts the source's question under way (the
    // job then ends with what it has, its answer unsent) and waits for the
    // thread: nothing is left running in the database.
    ~HistoryReader();

    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    // Whether a source was given: without one only the live data is shown.
    bool available() const { return available_; }
    void post(Job job);

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared, const Factory& factory);

    std::shared_ptr<Shared> shared_;
    QThread* thread_ = nullptr;
    bool available_ = false;
};
