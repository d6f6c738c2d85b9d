#include "message_boxes.h"

#include <algorithm>

void WidgetMessageBoxes::warning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title(), text, QMessageBox::Ok, parent);
    box.setAccessibleName(title());
    open_.emplace_back(&box);
    box.exec();
    open_.erase(std::remove(open_.begin(), open_.end(), QPointer<QMessageBox>(&box)), open_.end());
}

void WidgetMessageBoxes::dismiss(const QString& text)
{
    for (const QPointer<QMessageBox>& box : open_)
        if (box && box->text() == text)
            box->accept();
}
