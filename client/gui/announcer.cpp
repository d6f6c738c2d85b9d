#include "announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class CAnnouncerAccessible : public QAccessibleWidget {
public:
    explicit CAnnouncerAccessible(CAnnouncer* announcer)
        : QAccessibleWidget(announcer, QAccessible::Notification)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<CAnnouncer*>(widget())->lastText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* announcerAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String(CAnnouncer::staticMetaObject.className()))
        return nullptr;
    auto* announcer = qobject_cast<CAnnouncer*>(object);
    return announcer ? new CAnnouncerAccessible(announcer) : nullptr;
}

} // namespace

CAnnouncer::CAnnouncer(const QString& name, QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(announcerAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void CAnnouncer::announce(const QString& text)
{
    text_ = text;
    ++count_;
    if (!QAccessible::isActive())
        return;
    // The name first, so that the reader's copy of it is the new text when
    // the notification shows.
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
