#pragma once

#include "accessible_notifier.h"
#include "display_colour.h"
#include "frame_pacer.h"

#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>

// One housekeeping reading as a horizontal bar with its value centred on top
// (the text over the filled part in the background colour, over the empty
// part in the bar colour). Knows nothing of housings or alarms: it is given
// two colours, a units text, a value and a range.
//
// Readings may arrive thousands of times a second: the setters only change
// state and ask for a paint at the next frame, so the gauge paints at most
// once a frame however fast readings come; everything shown is drawn from
// that state, so covering and uncovering the window shows the same picture.
class CLevelBar : public QWidget {
    Q_OBJECT

public:
    explicit CLevelBar(QWidget* parent = nullptr);

    // Sets the look once: border, value text, bar and background colours;
    // fixes the height at 30 px. False when already created.
    bool Create(bool border, bool showText, Rgb barColour, Rgb bkColour);

    // At most 7 characters are kept.
    void SetUnits(const QString& units);
    // Ignored before Create and when max <= min. -1 (whole-number part) and
    // non-finite readings are shown as "INVALID DATA" on an empty bar.
    void SetValue(double reading, int min, int max);
    void ChangeBarColor(Rgb colour);
    // Shows the background only until the next reading.
    void Reset();
    bool SetBarColor(Rgb colour);
    bool SetBkColor(Rgb colour);

    // The alarm state in words, read by screen readers with the value. With
    // `announce`, a state other than the one last heard is spoken
    // (alarmStateChanged) once the reading that caused it is shown: at
    // once, then at most once a second.
    void setStateText(const QString& state, bool announce = false);
    // The state the listener knows without being told (no word for it).
    void setHeardState(const QString& state) { announcedState_ = state; }
    QString stateText() const { return stateText_; }
    // Said after the state: the latched alarm and the age of the reading.
    void setNote(const QString& note);
    // Drawn after the value ("STALE") until the next reading.
    void setMark(const QString& mark);

    // What the gauge shows now: the value with its units, "INVALID DATA",
    // or nothing (after Reset).
    QString valueText() const;
    Rgb barColour() const { return barColour_; }
    Rgb bkColour() const { return bkColour_; }

    // The inside of the border, where bar and text are drawn.
    QRect drawingArea() const;
    // Width in pixels of the filled part for the current reading.
    int filledWidth() const;

    // For screen readers: whether a valid reading is shown, the reading and
    // its range, and the value text with the state text.
    bool hasValidReading() const { return shown_ == Shown::Reading; }
    double reading() const { return reading_; }
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    QString describe() const;
    // The name, the value and the state, as spoken for a change of state.
    QString spokenSummary() const;

signals:
    // A change of alarm state to be spoken: the gauge's spokenSummary().
    void alarmStateChanged(const QString& spoken);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum class Shown {
        Nothing,
        InvalidData,
        Reading
    };

    bool sameAsShown(Shown kind, double reading, int min, int max) const;
    void formatText() const;
    void tellDescription();
    void announceState();

    Rgb barColour_;
    Rgb bkColour_;
    QString units_;
    mutable QString text_; // the reading's text, made on demand
    mutable bool textStale_ = true;
    QString stateText_;
    QString note_;
    QString mark_;
    double reading_ = 0.0;
    std::int64_t whole_ = 0; // the reading cut toward zero, kept within min - 1 .. max
    int min_ = 0;
    int max_ = 0;
    Shown shown_ = Shown::Nothing;
    FramePacer repaint_;
    AccessibleNotifier accessibleUpdates_;
    // Changes of state spoken at most once a second: a reading flapping
    // across a level is heard as where it is now, not as every flap.
    AccessibleNotifier announcements_;
    QString announcedState_;
    bool announcePending_ = false;
    bool created_ = false;
    bool border_ = false;
    bool showText_ = false;
};
