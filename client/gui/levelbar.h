#pragma once

#include "display_colour.h"

#include <QString>
#include <QWidget>

// One housekeeping reading as a horizontal bar with its value centred on top
// (the text over the filled part in the background colour, over the empty
// part in the bar colour). Knows nothing of housings or alarms: it is given
// two colours, a units text, a value and a range.
class CLevelBar : public QWidget {
    Q_OBJECT

public:
    explicit CLevelBar(QWidget* parent = nullptr);

    // Sets the look once: border, value text, bar and background colours.
    // False when already created.
    bool Create(bool border, bool showText, Rgb barColour, Rgb bkColour);

    void SetUnits(const QString& units);
    void SetValue(double reading, int min, int max);
    void ChangeBarColor(Rgb colour);
    void Reset();
    bool SetBarColor(Rgb colour);
    bool SetBkColor(Rgb colour);

    // The alarm state in words, read by screen readers with the value.
    void setStateText(const QString& state);

    // What the gauge shows now: the value with its units, "INVALID DATA",
    // or nothing (after Reset).
    QString valueText() const;
    Rgb barColour() const;
    Rgb bkColour() const;
};
