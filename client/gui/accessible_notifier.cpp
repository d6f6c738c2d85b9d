#include "accessible_notifier.h"

#include <QAccessible>
#include <QWidget>

#include <utility>

AccessibleNotifier::AccessibleNotifier(std::function<void(int)> tell, QObject* parent, bool always)
    : QObject(parent), tell_(std::move(tell)), always_(always)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &AccessibleNotifier::release);
}

void AccessibleNotifier::changed(int changes)
{
    if (unheard())
        return;
    const int told = pacer_.change(AccessiblePacer::Clock::now(), changes);
    if (told > 0)
        tell_(told);
    else
        schedule();
}

bool AccessibleNotifier::unheard() const
{
    if (always_)
        return false;
    const auto* control = qobject_cast<const QWidget*>(parent());
    return !QAccessible::isActive() || (control && !control->window()->isVisible());
}

int AccessibleNotifier::stateChanged()
{
    timer_.stop();
    return pacer_.stateChange(AccessiblePacer::Clock::now());
}

void AccessibleNotifier::release()
{
    const int told = pacer_.release(AccessiblePacer::Clock::now());
    if (told > 0)
        tell_(told);
    schedule();
}

void AccessibleNotifier::schedule()
{
    const auto due = pacer_.due();
    if (!due || timer_.isActive())
        return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - AccessiblePacer::Clock::now());
    timer_.start(std::max<int>(0, static_cast<int>(wait.count())));
}
