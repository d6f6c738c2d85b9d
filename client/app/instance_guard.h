#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class MessageBoxes;
class QLocalSocket;

// One client per start folder. Two clients on one "kov.cfg" would each write
// back the setpoints they read at start, the last one over the other's.
//
// The first start takes a lock file in the folder and listens on a local
// socket named after the folder, in the user's runtime folder. A later start finds the lock taken and asks
// the running client, through that socket, to show its window; it then ends
// without connecting to the instrument. A lock left by a killed client is
// taken over at once (its process is gone), never after a timeout: a client
// that is only slow keeps its folder.
//
// Threads: GUI thread only. The running client answers from its event loop
// (non-blocking sockets); only a second start waits, and at most answerLimit.
class InstanceGuard : public QObject {
    Q_OBJECT

public:
    static constexpr const char* lockName = "kovclient.lock";
    static constexpr std::chrono::milliseconds answerLimit{2000};

    explicit InstanceGuard(const std::string& directory);
    ~InstanceGuard() override;

    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // Nothing: this process holds the folder and goes on starting. A status:
    // another client holds it and this process ends with it, 0 when that
    // client showed its window, 1 when it did not answer (after a box).
    std::optional<int> claim(MessageBoxes& boxes);

    // What the running client does when a later start asks for its window.
    void onShowRequest(std::function<void()> show) { show_ = std::move(show); }

    // The local socket's path, in the user's runtime folder, of a length
    // that does not grow with the folder's; empty without such a folder.
    static QString serverName(const QString& directory);

private:
    enum class Answer {
        Shown,
        Refused,
        Silent
    };

    void listen();
    Answer askHolder(std::chrono::steady_clock::time_point deadline);
    // The running client's process id, 0 when the lock file cannot be read.
    qint64 holder() const;
    // The box of a running client that did not answer; the exit status.
    int reportSilent(MessageBoxes& boxes);
    void accept();
    void serve(QLocalSocket* socket);

    QString directory_;
    QString name_;
    QLockFile lock_;
    QLocalServer server_;
    std::function<void()> show_;
};
