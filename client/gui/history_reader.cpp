#include "history_reader.h"

#include <QMetaObject>
#include <QThread>
#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

struct HistoryReader::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    bool stopping = false;
    QObject* context = nullptr;               // read only while not stopping
    History::HistorySource* source = nullptr; // while the thread has one
};

HistoryReader::HistoryReader(Factory factory, QObject* context)
    : shared_(std::make_shared<Shared>()), available_(static_cast<bool>(factory))
{
    shared_->context = context;
    std::shared_ptr<Shared> shared = shared_;
    thread_ = QThread::create([shared, factory = std::move(factory)] { run(shared, factory); });
    thread_->setObjectName(QStringLiteral("history reader"));
    thread_->start();
}

HistoryReader::~HistoryReader()
{
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stopping = true;
        shared_->jobs.clear();
        if (shared_->source)
            shared_->source->interrupt();
    }
    shared_->wake.notify_all();
    thread_->wait();
    delete thread_;
}

void HistoryReader::post(Job job)
{
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->jobs.push_back(std::move(job));
    }
    shared_->wake.notify_one();
}

void HistoryReader::run(const std::shared_ptr<Shared>& shared, const Factory& factory)
{
    std::unique_ptr<History::HistorySource> source = factory ? factory() : nullptr;
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->source = source.get();
    if (source && shared->stopping)
        source->interrupt();
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->stopping || !shared->jobs.empty(); });
        if (shared->stopping)
            break;
        Job job = std::move(shared->jobs.front());
        shared->jobs.pop_front();
        lock.unlock();
        std::function<void()> answer = job(source.get());
        lock.lock();
        // Under the lock: the owner cannot be going away meanwhile.
        if (answer && !shared->stopping && shared->context)
            QMetaObject::invokeMethod(shared->context, std::move(answer), Qt::QueuedConnection);
    }
    shared->source = nullptr;
    lock.unlock();
    // Closed on the thread that opened it.
    source.reset();
}
