#include "paced_label.h"

#include "accessible_notifier.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace {

constexpr char pacedProperty[] = "kovPacedLabel";

AccessibleNotifier* notifierOf(QLabel* label)
{
    return label->findChild<AccessibleNotifier*>(QString(), Qt::FindDirectChildrenOnly);
}

class PacedLabelAccessible : public QAccessibleWidget {
public:
    explicit PacedLabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::Indicator) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return static_cast<QLabel*>(widget())->text().trimmed();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* pacedLabelAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String("QLabel") || !object->property(pacedProperty).toBool())
        return nullptr;
    return new PacedLabelAccessible(static_cast<QLabel*>(object));
}

} // namespace

void PacedLabel::install(QLabel* label)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(pacedLabelAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    if (!label || notifierOf(label))
        return;
    label->setProperty(pacedProperty, true);
    label->setAccessibleName(label->accessibleDescription());
    label->setFocusPolicy(Qt::TabFocus);
    new AccessibleNotifier(
        [label](int) {
            QAccessibleEvent event(label, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&event);
        },
        label);
}

void PacedLabel::setText(QLabel* label, const QString& text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    if (AccessibleNotifier* notifier = notifierOf(label))
        notifier->changed();
}
