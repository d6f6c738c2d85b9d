#include "instance_guard.h"

#include "message_boxes.h"

#include <ace/Log_Msg.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace {
const QByteArray showRequest = QByteArrayLiteral("show\n");
const QByteArray shownAnswer = QByteArrayLiteral("shown\n");
// Between two tries while the holder is just starting or just ending.
constexpr unsigned long retryPauseMs = 50;

int msLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

QByteArray local(const QString& text)
{
    return text.toLocal8Bit();
}
} // namespace

InstanceGuard::InstanceGuard(const std::string& directory)
    : directory_(QString::fromLocal8Bit(directory.c_str())),
      name_(serverName(directory_)),
      lock_(directory_ + QLatin1Char('/') + QLatin1String(lockName))
{
    // A holder that is alive keeps the lock however old it is; a dead one's
    // lock is taken over at once (QLockFile checks the process it names).
    lock_.setStaleLockTime(0);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceGuard::accept);
}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::serverName(const QString& directory)
{
    // In the user's own runtime folder (XDG_RUNTIME_DIR, else a folder of
    // the user's that Qt makes 0700 and checks): a name in /tmp could be
    // taken first by another user, whose program would then answer for this
    // client. Empty when there is no such folder.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return QString();
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    const QByteArray path = (canonical.isEmpty() ? directory : canonical).toUtf8();
    // A socket path has room for about 100 bytes: a hash, not the path.
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(24);
    return runtime + QStringLiteral("/kovclient-") + QString::fromLatin1(hash);
}

std::optional<int> InstanceGuard::claim(MessageBoxes& boxes)
{
    const auto deadline = std::chrono::steady_clock::now() + answerLimit;
    for (;;) {
        if (lock_.tryLock(0)) {
            listen();
            return std::nullopt;
        }
        if (lock_.error() != QLockFile::LockFailedError) {
            // A folder nobody may write in: no setpoints can be lost there.
            ACE_ERROR((LM_ERROR, "Cannot create the lock file %s: a second client in %s goes unnoticed\n",
                local(lock_.fileName()).constData(), local(directory_).constData()));
            return std::nullopt;
        }
        if (name_.isEmpty()) {
            ACE_ERROR((LM_ERROR, "No private runtime folder (XDG_RUNTIME_DIR) to reach the client in %s\n",
                local(directory_).constData()));
            return reportSilent(boxes);
        }
        const Answer answer = askHolder(deadline);
        if (answer == Answer::Shown) {
            ACE_DEBUG(
                (LM_INFO, "The client already running in %s (process %q) was asked to show its window\n",
                    local(directory_).constData(), holder()));
            return 0;
        }
        if (answer == Answer::Silent || msLeft(deadline) == 0)
            return reportSilent(boxes);
        // Refused: the holder is not listening yet, or has just ended.
        QThread::msleep(retryPauseMs);
    }
}

qint64 InstanceGuard::holder() const
{
    qint64 pid = 0;
    return lock_.getLockInfo(&pid, nullptr, nullptr) ? pid : 0;
}

int InstanceGuard::reportSilent(MessageBoxes& boxes)
{
    const qint64 pid = holder();
    ACE_ERROR((LM_ERROR, "The client running in %s (process %q) did not answer within %d ms\n",
        local(directory_).constData(), pid, int(answerLimit.count())));
    boxes.warning(nullptr,
        QStringLiteral("A KOV client is already running in %1 (process %2) and does not answer. "
                       "See client.log for details")
            .arg(directory_)
            .arg(pid));
    return 1;
}

void InstanceGuard::listen()
{
    if (name_.isEmpty()) {
        ACE_ERROR((LM_ERROR,
            "No private runtime folder (XDG_RUNTIME_DIR) for the socket; a second start in %s "
            "cannot show this window\n",
            local(directory_).constData()));
        return;
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a killed client: ours now, since we hold the lock.
    QLocalServer::removeServer(name_);
    if (server_.listen(name_))
        return;
    ACE_ERROR((LM_ERROR, "Cannot listen on %s: %s; a second start in %s cannot show this window\n",
        local(name_).constData(), local(server_.errorString()).constData(), local(directory_).constData()));
}

InstanceGuard::Answer InstanceGuard::askHolder(std::chrono::steady_clock::time_point deadline)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(msLeft(deadline)))
        return Answer::Refused;
    socket.write(showRequest);
    // A stopped holder's socket still accepts and buffers; only its answer
    // tells it is alive.
    while (!socket.canReadLine()) {
        if (socket.waitForReadyRead(msLeft(deadline)))
            continue;
        return socket.state() == QLocalSocket::ConnectedState ? Answer::Silent : Answer::Refused;
    }
    return socket.readLine() == shownAnswer ? Answer::Shown : Answer::Refused;
}

void InstanceGuard::accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        // A peer that never asks is not kept.
        QTimer::singleShot(answerLimit, socket, &QLocalSocket::abort);
    }
}

void InstanceGuard::serve(QLocalSocket* socket)
{
    if (!socket->canReadLine())
        return;
    if (socket->readLine() == showRequest) {
        if (show_)
            show_();
        socket->write(shownAnswer);
    }
    socket->disconnectFromServer();
}
