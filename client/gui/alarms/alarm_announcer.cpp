#include "alarm_announcer.h"

#include <ace/Log_Msg.h>

#include <QAudioDevice>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <QVariantMap>

namespace {
const char* const notifierService = "org.freedesktop.Notifications";
}

AlarmAnnouncer::AlarmAnnouncer(QObject* parent) : QObject(parent) {}

AlarmAnnouncer::~AlarmAnnouncer() = default;

void AlarmAnnouncer::raised(const QString& name, bool windowActive, bool cancelsSilence)
{
    // A new point is heard even while silenced.
    if (cancelsSilence)
        silencedAt_.invalidate();
    if (!silenced())
        sound();
    if (!windowActive)
        notify(name);
}

void AlarmAnnouncer::tick(bool unacknowledged)
{
    if (!unacknowledged || silenced())
        return;
    if (!lastSound_.isValid() || lastSound_.hasExpired(repeatMs))
        sound();
}

void AlarmAnnouncer::silence()
{
    silencedAt_.start();
}

bool AlarmAnnouncer::silenced() const
{
    return silencedAt_.isValid() && !silencedAt_.hasExpired(silenceMs);
}

void AlarmAnnouncer::sound()
{
    lastSound_.start();
    ++sounds_;
    if (QMediaDevices::audioOutputs().isEmpty()) {
        if (!noAudioLogged_)
            ACE_ERROR((LM_WARNING, "No audio device: alarms are shown but not sounded\n"));
        noAudioLogged_ = true;
        return;
    }
    if (!effect_) {
        effect_ = std::make_unique<QSoundEffect>();
        effect_->setSource(QUrl(QStringLiteral("qrc:/kov/alarm.wav")));
    }
    effect_->play();
}

void AlarmAnnouncer::notify(const QString& name)
{
    const QString service = QString::fromLatin1(notifierService);
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
    call << QStringLiteral("KOV client") << uint(0) << QStringLiteral("dialog-warning")
         << QStringLiteral("KOV alarm") << name << QStringList() << QVariantMap() << int(-1);
    // The answer is only looked at, never waited for: the GUI thread does
    // not wait on the bus.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (!done->isError() || noNotifierLogged_)
            return;
        noNotifierLogged_ = true;
        ACE_ERROR(
            (LM_WARNING, "No desktop notification: %s\n", done->error().message().toUtf8().constData()));
    });
}
