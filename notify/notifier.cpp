#include "notifier.h"

#include "notification_outbox.h"
#include "notification_senders.h"
#include "notification_text.h"

#include <QSqlDatabase>
#include <QSqlError>

#include <chrono>
#include <random>

namespace {

std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t systemUtcMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool isWebhook(const std::string& recipient)
{
    return recipient.rfind("http://", 0) == 0 || recipient.rfind("https://", 0) == 0;
}

ReconnectBackoff backoff(int longestSeconds)
{
    auto random = [engine = std::make_shared<std::mt19937>(std::random_device{}())] {
        return std::uniform_real_distribution<double>(0, 1)(*engine);
    };
    return ReconnectBackoff(1, longestSeconds, steadyMs, random);
}

} // namespace

Notifier::Notifier(Options options) : options_(std::move(options))
{
    if (!options_.utcMs)
        options_.utcMs = systemUtcMs;
    mailBackoff_.emplace(backoff(options_.retryLongestSeconds));
    webhookBackoff_.emplace(backoff(options_.retryLongestSeconds));
}

Notifier::~Notifier()
{
    stop();
}

std::int64_t Notifier::now() const
{
    return options_.utcMs();
}

void Notifier::start()
{
    if (thread_.joinable())
        return;
    thread_ = std::thread([this] { run(); });
}

void Notifier::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void Notifier::setActive(bool active)
{
    active_ = active;
    wake_.notify_all();
}

void Notifier::due(const Notification& notification)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Queued{notification, std::nullopt});
    }
    wake_.notify_all();
}

void Notifier::cancelled(const std::string& pointKey)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Queued{std::nullopt, Cancel{pointKey}});
    }
    wake_.notify_all();
}

// The notifier's thread: its connection lives and dies here.
void Notifier::run()
{
    const QString connection = QStringLiteral("kov-notify-%1").arg(reinterpret_cast<quintptr>(this));
    {
        QSqlDatabase db = options_.address.addDatabase(connection, 5);
        NotificationOutbox outbox(db, options_.instrument);
        bool ready = false;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait_for(lock, std::chrono::seconds(1));
                if (stopping_)
                    break;
            }
            if (!ready) {
                ready = db.open() && outbox.prepare();
                if (!ready) {
                    failed("outbox", db.isOpen() ? outbox.lastError() : db.lastError().text().toStdString());
                    db.close();
                    continue;
                }
            }
            const std::int64_t t = now();
            if (!takeQueue(outbox, t) || (active_ && !sendReady(outbox, t))) {
                failed("outbox", outbox.lastError());
                ready = false;
                db.close();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

// What was passed in goes into the outbox first; what could not be kept
// stays queued for the next round.
bool Notifier::takeQueue(NotificationOutbox& outbox, std::int64_t t)
{
    for (;;) {
        Queued next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty())
                return true;
            next = queue_.front();
        }
        const bool kept = next.due ? outbox.put(*next.due, t) : outbox.cancel(next.cancel->pointKey, t);
        if (!kept)
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.pop_front();
    }
}

// False when the outbox could not be read or marked.
bool Notifier::sendReady(NotificationOutbox& outbox, std::int64_t t)
{
    const std::vector<std::string> recipients = outbox.ready(t, gapMs);
    if (!outbox.lastError().empty())
        return false;
    for (const std::string& recipient : recipients) {
        ReconnectBackoff& wait = isWebhook(recipient) ? *webhookBackoff_ : *mailBackoff_;
        if (wait.scheduled() && wait.msUntilTry() > 0)
            continue;
        const std::vector<Notification> rows = outbox.unsent(recipient, t);
        if (!outbox.lastError().empty())
            return false;
        if (rows.empty())
            continue;
        std::string error;
        if (send(recipient, rows, t, error)) {
            wait.reset();
            failures_.succeeded();
            sent_ += 1;
            if (!outbox.markSent(recipient, rows, now()))
                return false;
            continue;
        }
        wait.schedule();
        failed(isWebhook(recipient) ? "webhook" : "mail",
            error + "; next try in " + std::to_string(wait.secondsUntilTry()) + " s");
        if (!outbox.markFailed(recipient, rows, error))
            return false;
    }
    return true;
}

bool Notifier::send(const std::string& recipient, const std::vector<Notification>& rows, std::int64_t t,
    std::string& error) const
{
    if (isWebhook(recipient))
        return NotificationSenders::webhook(recipient,
            NotificationText::webhookBody(options_.instrument, rows), error, options_.senderLimitMs);
    const NotificationText::Mail mail = NotificationText::compose(options_.instrument, rows);
    return NotificationSenders::mail(options_.settings.sendmail,
               NotificationText::message(recipient, mail, t), error, options_.senderLimitMs) == 0;
}

void Notifier::failed(const std::string& kind, const std::string& error)
{
    const FailureLog::Verdict verdict = failures_.failed(kind, steadyMs());
    if (verdict.write && options_.log)
        options_.log("notification: " + kind + ": " + error);
    if (verdict.summarised > 0 && options_.log)
        options_.log("notification: " + std::to_string(verdict.summarised) + " more failures of the " + kind);
}

int Notifier::sendTest(const NotifySettings& settings, const std::string& instrument,
    const std::function<void(const std::string&)>& log)
{
    Notification test;
    test.pointKey = "test";
    test.subject = "KOV " + instrument + ": test of the on-call notification";
    test.text = "This is a test sent by kovrecorder --test-notify for " + instrument + " at " +
        NotificationText::utc(systemUtcMs()) + ".\nIf you read it, alarm mails reach you.\n";
    test.json = "{\"instrument\":" + NotificationText::json(instrument) +
        ",\"state\":\"test\",\"time\":" + NotificationText::json(NotificationText::utc(systemUtcMs())) + "}";
    int status = 0;
    for (const std::string& address : settings.notify) {
        std::string error;
        const int code = NotificationSenders::mail(settings.sendmail,
            NotificationText::message(address, NotificationText::compose(instrument, {test}), systemUtcMs()),
            error);
        log(code == 0 ? "test mail to " + address + " taken by " + settings.sendmail
                      : "test mail to " + address + ": " + error);
        if (code != 0 && status == 0)
            status = code < 0 ? 1 : code;
    }
    if (!settings.webhook.empty()) {
        std::string error;
        const bool ok = NotificationSenders::webhook(settings.webhook, test.json, error);
        log(ok ? "test call of the webhook taken" : "test call of the webhook: " + error);
        if (!ok && status == 0)
            status = 1;
    }
    return status;
}
