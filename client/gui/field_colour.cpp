#include "field_colour.h"

#include <QPalette>
#include <QWidget>

QColor FieldColour::toQColor(Rgb colour)
{
    return QColor(colour.r, colour.g, colour.b);
}

void FieldColour::set(QWidget* field, Rgb colour)
{
    const QColor base = toQColor(colour);
    QPalette palette = field->palette();
    if (palette.color(QPalette::Base) == base && palette.color(QPalette::Text) == Qt::black)
        return;
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, Qt::black);
    field->setPalette(palette);
}
