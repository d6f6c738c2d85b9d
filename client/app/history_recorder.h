#pragma once

#include "history_settings.h"
#include "history_writer.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <string>

class ClientEvents;
class MessageBoxes;
struct AlarmSetpoints;

// Keeps the client's traffic in the history file "kovhistory.db" of the
// start directory: every reading, message, setpoint change, link change and
// alarm record that ClientEvents carries goes, as a copy, to the writer
// thread. The writer's notices to the operator (a damaged file moved aside,
// recording paused, a newer client's file) are shown as boxes later on the
// GUI thread, never inside a push.
class HistoryRecorder : public QObject {
    Q_OBJECT

public:
    // Starts the writer unless the settings turn recording off.
    HistoryRecorder(const std::string& directory, const HistorySettings& settings, MessageBoxes& boxes,
        QObject* parent = nullptr);
    ~HistoryRecorder() override;

    bool recording() const { return writer_ != nullptr; }
    const std::string& path() const { return path_; }
    // Null when recording is off.
    History::HistoryWriter* writer() const { return writer_.get(); }

    // From now on every record of `events` is kept; boxes appear over
    // `noticeParent`.
    void attach(ClientEvents& events, QWidget* noticeParent);
    // The whole set of a housing in force now (as changes from and to the
    // same value), so that a later reader knows the limits from the start.
    void recordSetpoints(int housing, const AlarmSetpoints& setpoints);

    // No more records are taken; what was taken is written within about
    // `limit`, and what could not be is counted in the log.
    void stop(std::chrono::milliseconds limit = std::chrono::seconds(5));

    static std::int64_t utcNowMs();

    // A box about the history for the operator (GUI thread).
    void showNotice(const QString& text);

private:
    struct NoticeTarget;
    void detach();

    std::string path_;
    MessageBoxes& boxes_;
    QPointer<QWidget> noticeParent_;
    std::shared_ptr<NoticeTarget> noticeTarget_;
    std::unique_ptr<History::HistoryWriter> writer_;
    QMetaObject::Connection connections_[5];
};
