#include "linkindicator.h"

#include "link_state.h"

#include <QLabel>

CLinkIndicator::CLinkIndicator(const QString& control, LinkState* state, QWidget* owner,
    const QString& unlinked, const QString& linkedA, const QString& linkedB)
    : linkedA_(linkedA),
      unlinked_(unlinked),
      linkedB_(linkedB),
      control_(control),
      state_(state),
      owner_(owner)
{}

void CLinkIndicator::Refresh()
{
    if (!state_->IsConnected()) {
        draw(unlinked_, false);
        return;
    }
    draw(blinkPhase_ == 1 ? linkedA_ : linkedB_, true);
    blinkPhase_ = 1 - blinkPhase_;
}

void CLinkIndicator::draw(const QPixmap& picture, bool linked)
{
    auto* label = owner_ ? owner_->findChild<QLabel*>(control_) : nullptr;
    if (!label)
        return;
    label->setPixmap(picture);
    // The picture's meaning for screen readers, which see no colours.
    const QString state = linked ? QStringLiteral("linked") : QStringLiteral("not linked");
    if (label->accessibleDescription() != state)
        label->setAccessibleDescription(state);
    if (label->toolTip() != state)
        label->setToolTip(state);
}
