#pragma once

#include "display_colour.h"

#include <QColor>

class QWidget;

// The display's colours on Qt widgets.
class FieldColour {
public:
    static QColor toQColor(Rgb colour);

    // Gives a field the background `colour` with black text, which reads on
    // every display colour whatever the desktop theme. The palette is set
    // only when it changes: readings may come many times a second, and each
    // setPalette repaints.
    static void set(QWidget* field, Rgb colour);
};
