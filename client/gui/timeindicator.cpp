#include "timeindicator.h"

#include "link_state.h"
#include "time_text.h"

#include <QLabel>

CTimeIndicator::CTimeIndicator(
    const QString& connectionField, const QString& targetField, LinkState* state, QWidget* owner)
    : connectionField_(connectionField), targetField_(targetField), state_(state), owner_(owner)
{}

void CTimeIndicator::Refresh()
{
    setText(connectionField_, TimeText::elapsed(state_->ConnectionSeconds()));
    // The instrument answers an unsigned count; its low 32 bits never read
    // as a negative time.
    setText(targetField_, TimeText::elapsed(state_->TargetOnSeconds()));
}

void CTimeIndicator::setText(const QString& field, const std::string& text)
{
    auto* label = owner_ ? owner_->findChild<QLabel*>(field) : nullptr;
    const QString value = QString::fromStdString(text);
    if (label && label->text() != value)
        label->setText(value);
}
