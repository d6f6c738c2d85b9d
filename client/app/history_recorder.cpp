#include "history_recorder.h"

#include "alarm_setpoints.h"
#include "client_events.h"
#include "history_file.h"
#include "message_boxes.h"

#include <ace/Log_Msg.h>

#include <QDateTime>

#include <mutex>

// The writer thread asks for boxes through this; the recorder leaves it
// before it goes, so a writer that outlives its stop asks nobody.
struct HistoryRecorder::NoticeTarget {
    std::mutex mutex;
    HistoryRecorder* recorder = nullptr;
};

HistoryRecorder::HistoryRecorder(
    const std::string& directory, const HistorySettings& settings, MessageBoxes& boxes, QObject* parent)
    : QObject(parent),
      path_(HistoryFile::pathIn(directory)),
      boxes_(boxes),
      noticeTarget_(std::make_shared<NoticeTarget>())
{
    if (!settings.recording()) {
        ACE_DEBUG((LM_INFO, "History: recording is off (%s)\n", HistorySettings::itemName));
        return;
    }
    noticeTarget_->recorder = this;
    History::HistoryWriter::Options options;
    options.path = path_;
    options.retention.rawDays = settings.rawDays;
    options.retention.rollupDays = settings.rollupDays;
    options.log = [](const std::string& text) { ACE_ERROR((LM_WARNING, "%s\n", text.c_str())); };
    options.notice = [target = noticeTarget_](const std::string& text) {
        std::lock_guard<std::mutex> lock(target->mutex);
        if (!target->recorder)
            return;
        HistoryRecorder* recorder = target->recorder;
        QMetaObject::invokeMethod(
            recorder, [recorder, text] { recorder->showNotice(QString::fromStdString(text)); },
            Qt::QueuedConnection);
    };
    writer_ = std::make_unique<History::HistoryWriter>(std::move(options));
    writer_->start();
}

HistoryRecorder::~HistoryRecorder()
{
    stop();
}

std::int64_t HistoryRecorder::utcNowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void HistoryRecorder::attach(ClientEvents& events, QWidget* noticeParent)
{
    noticeParent_ = noticeParent;
    if (!writer_)
        return;
    detach();
    History::HistoryWriter* writer = writer_.get();
    connections_[0] = connect(
        &events, &ClientEvents::reading, this, [writer](const History::Reading& r) { writer->push(r); });
    connections_[1] = connect(&events, &ClientEvents::message, this,
        [writer](const History::MessageRecord& m) { writer->push(History::Event(m)); });
    connections_[2] = connect(&events, &ClientEvents::setpointChanged, this,
        [writer](const History::SetpointChange& c) { writer->push(History::Event(c)); });
    connections_[3] = connect(&events, &ClientEvents::linkChanged, this,
        [writer](const History::LinkChange& c) { writer->push(History::Event(c)); });
    connections_[4] = connect(&events, &ClientEvents::alarm, this,
        [writer](const History::AlarmRecord& a) { writer->push(History::Event(a)); });
}

void HistoryRecorder::detach()
{
    for (QMetaObject::Connection& connection : connections_)
        disconnect(connection);
}

void HistoryRecorder::recordSetpoints(int housing, const AlarmSetpoints& setpoints)
{
    if (!writer_)
        return;
    using History::Setpoint;
    const std::int64_t now = utcNowMs();
    const std::pair<Setpoint, double> values[] = {{Setpoint::TempWarning, setpoints.tempWarning},
        {Setpoint::OverTemp, setpoints.overTemp}, {Setpoint::RhWarning, setpoints.rhWarning},
        {Setpoint::OverRh, setpoints.overRh}};
    for (const auto& [which, value] : values)
        writer_->push(History::Event(History::SetpointChange{housing, which, value, value, now}));
}

void HistoryRecorder::stop(std::chrono::milliseconds limit)
{
    detach();
    {
        std::lock_guard<std::mutex> lock(noticeTarget_->mutex);
        noticeTarget_->recorder = nullptr;
    }
    if (!writer_)
        return;
    // The writer counts in the log what it could not write; its thread has
    // ended either way.
    writer_->stop(limit);
    writer_.reset();
}

void HistoryRecorder::showNotice(const QString& text)
{
    boxes_.warning(noticeParent_.data(), text);
}
