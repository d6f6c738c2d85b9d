#pragma once

#include "linkindicator.h"
#include "timeindicator.h"

class LinkState;
class QWidget;

// The status row of the main window and of the alarms and messages window:
// the link picture and the two elapsed times ("connectionTime" and
// "targetTime"), QLabels of `owner`. The owner's one-second timer calls
// Refresh.
class LinkStatusRow {
public:
    // `linkPicture` is the object name of the link picture in `owner`.
    LinkStatusRow(const QString& linkPicture, LinkState& state, QWidget* owner);

    // The link picture, then the times.
    void Refresh();

    CLinkIndicator& link() { return link_; }

private:
    CLinkIndicator link_;
    CTimeIndicator time_;
};
