#include "message_boxes.h"

#include <QMessageBox>

void WidgetMessageBoxes::warning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title(), text, QMessageBox::Ok, parent);
    box.setAccessibleName(title());
    box.exec();
}
