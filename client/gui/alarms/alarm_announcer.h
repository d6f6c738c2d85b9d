#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

class QSoundEffect;

// Makes an alarm heard: a short sound when a point goes into alarm and again
// every 30 s while any alarm is unacknowledged, unless silenced (10 minutes;
// a new point sounds at once all the same); and a desktop notification when
// the main window is not the active one. Without an audio device or a
// notification service it stays silent and says so once in client.log.
class AlarmAnnouncer : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 repeatMs = 30 * 1000;
    static constexpr qint64 silenceMs = 10 * 60 * 1000;

    explicit AlarmAnnouncer(QObject* parent = nullptr);
    ~AlarmAnnouncer() override;

    // A point is to be heard; windowActive: the main window has the focus.
    // Only a new point cancels a silence; while silenced the others are
    // notified but not sounded.
    void raised(const QString& name, bool windowActive, bool cancelsSilence = true);
    // Once a second: repeats the sound while any alarm is unacknowledged.
    void tick(bool unacknowledged);
    void silence();
    bool silenced() const;
    // Times the sound was asked for (played or not: no device here).
    int sounds() const { return sounds_; }

private:
    void sound();
    void notify(const QString& name);

    std::unique_ptr<QSoundEffect> effect_;
    QElapsedTimer lastSound_;
    QElapsedTimer silencedAt_;
    int sounds_ = 0;
    bool noAudioLogged_ = false;
    bool noNotifierLogged_ = false;
};
