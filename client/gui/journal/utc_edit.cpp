#include "utc_edit.h"

#include <QDateTimeEdit>

QDateTimeEdit* utcEdit(const QDateTime& at, const QString& accessibleName, QWidget* parent)
{
    auto* edit = new QDateTimeEdit(at, parent);
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    edit->setCalendarPopup(true);
    edit->setAccessibleName(accessibleName);
    return edit;
}
