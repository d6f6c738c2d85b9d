#pragma once

class QLabel;
class QString;

// A label showing a reading that may change many times a second: the screen
// follows every change, screen readers hear of changes at most once a
// second (AccessibleNotifier) and read the current text when they ask.
// To a screen reader it reads like a gauge: its accessible description
// becomes its name ("Current temperature in degrees Celsius") and the text
// shown its description; Tab reaches it. (QLabel tells of every change of
// its text unless it has an accessible name: it has one now.)
class PacedLabel {
public:
    static void install(QLabel* label);
    // Shows text if it differs from what is shown.
    static void setText(QLabel* label, const QString& text);
};
