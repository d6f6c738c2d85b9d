#include "status_summary.h"

#include <QLabel>
#include <QWidget>

namespace {

QString shown(const QWidget& window, const char* name, bool described)
{
    const auto* label = window.findChild<const QLabel*>(QLatin1String(name));
    const QString text = !label ? QString() : described ? label->accessibleDescription() : label->text();
    return text.isEmpty() ? QStringLiteral("unknown") : text;
}

} // namespace

QString StatusSummary::of(const QWidget& window, const char* linkLabel)
{
    QString summary =
        QStringLiteral("Link status: %1. Elapsed connection time: %2. Target elapsed ON time: %3.")
            .arg(shown(window, linkLabel, true), shown(window, "connectionTime", false),
                shown(window, "targetTime", false));
    // A window with the alarm row says it too: it is read as a whole on focus.
    // So are whose alarms they are and whether the room's service is heard.
    for (const char* name : {"alarmSummary", "alarmSource", "alarmService"}) {
        const auto* label = window.findChild<const QLabel*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
        if (label && !label->text().isEmpty())
            summary += QLatin1Char(' ') + label->text() + QLatin1Char('.');
    }
    return summary;
}

void StatusSummary::update(QWidget& window, const char* linkLabel)
{
    const QString summary = of(window, linkLabel);
    if (window.accessibleDescription() != summary)
        window.setAccessibleDescription(summary);
}
