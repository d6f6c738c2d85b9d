#include "alarm_display.h"

#include "alarm_announcer.h"
#include "alarm_centre.h"
#include "levelbar.h"
#include "paced_label.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

AlarmDisplay::AlarmDisplay(AlarmCentre& centre, AlarmAnnouncer& announcer, const Widgets& widgets,
    std::function<void(int)> showStale, std::function<int()> reconnectSeconds)
    : centre_(centre),
      announcer_(announcer),
      w_(widgets),
      showStale_(std::move(showStale)),
      reconnectSeconds_(std::move(reconnectSeconds))
{
    // Half a second on, half off; running only while an alarm is unacknowledged.
    flash_.setInterval(500);
    connect(&flash_, &QTimer::timeout, this, &AlarmDisplay::flash);
    connect(&centre_, &AlarmCentre::changed, this, &AlarmDisplay::refresh);
    connect(w_.acknowledge, &QPushButton::clicked, &centre_, &AlarmCentre::acknowledgeAll);
    connect(w_.silence, &QPushButton::clicked, this, [this] {
        announcer_.silence();
        refresh();
    });
    w_.summary->setAutoFillBackground(true);
    refresh();
}

void AlarmDisplay::tick()
{
    centre_.tick();
    announcer_.tick(centre_.unacknowledgedCount() > 0);
    for (int housing = 0; housing < Housing::count; ++housing)
        if (centre_.stale(housing))
            showStale_(housing);
    const int seconds = reconnectSeconds_ ? reconnectSeconds_() : 0;
    const QString countdown = seconds > 0 ? QStringLiteral("Reconnecting in %1 s").arg(seconds) : QString();
    if (w_.reconnect->text() != countdown)
        w_.reconnect->setText(countdown);
}

QString AlarmDisplay::gaugeNote(AlarmPoint point) const
{
    const AlarmLatch& latch = centre_.latch();
    const AlarmLatch::Entry& own = latch.entry(point);
    QString note;
    if (own.shelved())
        note = QStringLiteral("alarm shelved, ");
    else if (own.unacknowledged)
        note = QStringLiteral("unacknowledged alarm, ");
    for (AlarmPoint::Kind kind : {AlarmPoint::Kind::NoReadings, AlarmPoint::Kind::NoValidData}) {
        const AlarmLatch::Entry& housing = latch.entry({kind, point.housing});
        if (note.isEmpty() && housing.unacknowledged && !housing.shelved())
            note = QStringLiteral("unacknowledged alarm, ");
    }
    if (own.chattering)
        note += QStringLiteral("chattering, ");
    return note + centre_.ageText(point.housing);
}

void AlarmDisplay::refresh()
{
    const int unacknowledged = centre_.unacknowledgedCount();
    QString summary = centre_.summary();
    if (announcer_.silenced())
        summary += QStringLiteral(" (sound silenced)");
    if (w_.summary->text() != summary)
        w_.summary->setText(summary);
    const QString source = centre_.sourceText();
    if (w_.source->text() != source)
        w_.source->setText(source);
    w_.source->setVisible(!source.isEmpty());
    const QString service = centre_.serviceText();
    w_.service->setVisible(!service.isEmpty());
    w_.service->setReading(service);
    w_.acknowledge->setEnabled(unacknowledged > 0);
    if (unacknowledged > 0 && !flash_.isActive()) {
        flash_.start();
        setFlashColour(true);
    } else if (unacknowledged == 0 && flash_.isActive()) {
        flash_.stop();
        setFlashColour(false);
    }

    for (int housing = 0; housing < Housing::count; ++housing) {
        const QString age = centre_.ageText(housing);
        if (w_.age[housing]->text() != age)
            w_.age[housing]->setText(age);
        w_.temperature[housing]->setNote(gaugeNote({AlarmPoint::Kind::Temperature, housing}));
        w_.humidity[housing]->setNote(gaugeNote({AlarmPoint::Kind::Humidity, housing}));
        const QString water = gaugeNote({AlarmPoint::Kind::Water, housing});
        if (w_.water[housing]->accessibleDescription() != water)
            w_.water[housing]->setAccessibleDescription(water);
    }
}

void AlarmDisplay::flash()
{
    setFlashColour(!flashOn_);
}

void AlarmDisplay::setFlashColour(bool on)
{
    flashOn_ = on;
    QPalette palette = w_.summary->palette();
    palette.setColor(QPalette::Window,
        on ? QColor(255, 0, 0) : w_.summary->parentWidget()->palette().color(QPalette::Window));
    palette.setColor(QPalette::WindowText, on ? QColor(255, 255, 255) : QColor(0, 0, 0));
    w_.summary->setPalette(palette);
}
