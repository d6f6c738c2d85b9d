#pragma once

#include <QLabel>

// A label showing a reading that may change many times a second: the screen
// follows every change, screen readers hear of changes at most once a
// second (AccessibleNotifier) and read the current text when they ask.
// To a screen reader it reads like a gauge, reached by Tab: its accessible
// description is its name ("Current temperature in degrees Celsius") and
// the text shown its description.
class CPacedLabel : public QLabel {
    Q_OBJECT

public:
    explicit CPacedLabel(QWidget* parent = nullptr);

    // Shows text if it differs from what is shown.
    void setReading(const QString& text);

protected:
    bool event(QEvent* event) override;
};
