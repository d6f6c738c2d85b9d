#pragma once

#include <QString>

class QWidget;

// A window's status row in words, as its accessible description:
// a screen reader reads it when the window gets the focus, so that the
// link state and both times are heard, not only their captions.
class StatusSummary {
public:
    // From the window's link picture (the label named `linkLabel`),
    // "connectionTime" and "targetTime".
    static QString of(const QWidget& window, const char* linkLabel);
    // Sets it as the window's description when it changed.
    static void update(QWidget& window, const char* linkLabel);
};
