#include "announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace {

constexpr char textProperty[] = "kovAnnouncement";

class VoiceAccessible : public QAccessibleWidget {
public:
    explicit VoiceAccessible(QWidget* voice) : QAccessibleWidget(voice, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return widget()->property(textProperty).toString();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* voiceAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String("QWidget") || !object->property(textProperty).isValid())
        return nullptr;
    return new VoiceAccessible(static_cast<QWidget*>(object));
}

} // namespace

CAnnouncer::CAnnouncer(const QString& name, QObject* parent)
    : QObject(parent), voice_(std::make_unique<QWidget>())
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(voiceAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(name);
    voice_->setObjectName(name);
    voice_->setProperty(textProperty, QString());
}

CAnnouncer::~CAnnouncer() = default;

void CAnnouncer::announce(const QString& text)
{
    if (pending_.isEmpty())
        QMetaObject::invokeMethod(this, &CAnnouncer::speak, Qt::QueuedConnection);
    pending_ << text;
}

void CAnnouncer::speak()
{
    text_ = pending_.join(QStringLiteral(". "));
    pending_.clear();
    ++count_;
    voice_->setProperty(textProperty, text_);
    if (!QAccessible::isActive())
        return;
    // The name first, so that the reader's copy of it is the new text when
    // the notification shows.
    QAccessibleEvent renamed(voice_.get(), QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    QAccessibleEvent shown(voice_.get(), QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
