#pragma once

class QLabel;
class QString;

// A label showing a reading that may change many times a second: the screen
// follows every change, screen readers hear of changes at most once a
// second (AccessibleNotifier) and read the current text when they ask.
// QLabel itself tells them of every change unless it has an accessible
// name, so install() gives it one, which its accessible interface leaves
// unused: the name read is the text shown.
class PacedLabel {
public:
    static void install(QLabel* label);
    // Shows text if it differs from what is shown.
    static void setText(QLabel* label, const QString& text);
};
