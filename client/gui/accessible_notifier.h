#pragma once

#include "accessible_pacer.h"

#include <QObject>
#include <QTimer>

#include <functional>

// Tells screen readers of one control's changes at a listener's pace
// (AccessiblePacer): `tell` runs with the number of changes it covers and
// sends the accessibility event; the screen reader then reads the current
// value. Nothing at all while no screen reader listens or while the window
// of the control (the parent) is hidden, unless `always`: the screen reader
// reads a window's current values when it is shown.
class AccessibleNotifier : public QObject {
    Q_OBJECT

public:
    explicit AccessibleNotifier(
        std::function<void(int changes)> tell, QObject* parent = nullptr, bool always = false);

    // A value changed `changes` times.
    void changed(int changes = 1);
    // The state changed: the caller tells it at once; held value changes
    // are covered by it. Answers how many were held.
    int stateChanged();
    bool holding() const { return timer_.isActive(); }

private:
    void release();
    void schedule();
    bool unheard() const;

    std::function<void(int)> tell_;
    AccessiblePacer pacer_;
    QTimer timer_;
    bool always_;
};
