#pragma once

#include <QString>

class QWidget;

// The main window's status row in words, as its accessible description:
// a screen reader reads it when the window gets the focus, so that the
// link state and both times are heard, not only their captions.
class StatusSummary {
public:
    // From the window's "linkPicture", "connectionTime" and "targetTime".
    static QString of(const QWidget& window);
    // Sets it as the window's description when it changed.
    static void update(QWidget& window);
};
