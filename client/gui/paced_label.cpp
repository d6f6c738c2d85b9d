#include "paced_label.h"

#include "accessible_notifier.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>

namespace {

class PacedLabelAccessible : public QAccessibleWidget {
public:
    explicit PacedLabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::Indicator) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return widget()->accessibleDescription();
        if (t == QAccessible::Description)
            return static_cast<QLabel*>(widget())->text().trimmed();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* pacedLabelAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String(CPacedLabel::staticMetaObject.className()))
        return nullptr;
    return new PacedLabelAccessible(static_cast<QLabel*>(object));
}

AccessibleNotifier* notifierOf(QLabel* label)
{
    return label->findChild<AccessibleNotifier*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

CPacedLabel::CPacedLabel(QWidget* parent) : QLabel(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(pacedLabelAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::TabFocus);
    new AccessibleNotifier(
        [this](int) {
            QAccessibleEvent event(this, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&event);
        },
        this);
}

void CPacedLabel::setReading(const QString& text)
{
    if (this->text() == text)
        return;
    // QLabel tells screen readers of every new text while it has no
    // accessible name; the name it is given is never read (see above).
    if (accessibleName().isEmpty())
        setAccessibleName(QStringLiteral("reading"));
    setText(text);
    notifierOf(this)->changed();
}

// Focus is shown by a frame: a label draws none of its own.
bool CPacedLabel::event(QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        setFrameShape(event->type() == QEvent::FocusIn ? QFrame::Box : QFrame::NoFrame);
    return QLabel::event(event);
}
