#pragma once

#include <QDateTime>
#include <QString>

class QDateTimeEdit;
class QWidget;

// A date and time field in UTC to the minute ("2026-12-08 18:00") with a
// calendar, named for screen readers: how the journal's windows take a
// range.
QDateTimeEdit* utcEdit(const QDateTime& at, const QString& accessibleName, QWidget* parent);
