#include "notification_senders.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QTimer>
#include <QUrl>

namespace NotificationSenders {

int mail(const std::string& sendmail, const std::string& message, std::string& error, int limitMs)
{
    QProcess process;
    process.start(QString::fromStdString(sendmail), {QStringLiteral("-t"), QStringLiteral("-i")});
    if (!process.waitForStarted(limitMs)) {
        error = "cannot run " + sendmail + ": " + process.errorString().toStdString();
        return -1;
    }
    process.write(message.data(), qint64(message.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished(1000);
        error = sendmail + " did not end within " + std::to_string(limitMs / 1000) + " s";
        return -1;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        error = sendmail + " crashed";
        return -1;
    }
    if (process.exitCode() != 0) {
        const QByteArray said = process.readAllStandardError().trimmed().left(300);
        error = sendmail + " ended with status " + std::to_string(process.exitCode()) +
            (said.isEmpty() ? "" : ": " + said.toStdString());
    }
    return process.exitCode();
}

bool webhook(const std::string& url, const std::string& json, std::string& error, int limitMs)
{
    QNetworkAccessManager network;
    QNetworkRequest request{QUrl(QString::fromStdString(url))};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json; charset=utf-8"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("kovrecorder"));
    request.setTransferTimeout(limitMs);
    QNetworkReply* reply = network.post(request, QByteArray::fromStdString(json));
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(limitMs + 1000, &wait, &QEventLoop::quit);
    if (!reply->isFinished())
        wait.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok =
        reply->isFinished() && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    if (!ok)
        error =
            "the webhook answered " + (status ? std::to_string(status) : reply->errorString().toStdString());
    reply->abort();
    reply->deleteLater();
    return ok;
}

} // namespace NotificationSenders
