#include "link_status_row.h"

#include "resources.h"

LinkStatusRow::LinkStatusRow(const QString& linkPicture, LinkState& state, QWidget* owner)
    : link_(linkPicture, &state, owner, Resources::linkUnlinked(), Resources::linkLinkedA(),
          Resources::linkLinkedB()),
      time_(QStringLiteral("connectionTime"), QStringLiteral("targetTime"), &state, owner)
{}

void LinkStatusRow::Refresh()
{
    link_.Refresh();
    time_.Refresh();
}
