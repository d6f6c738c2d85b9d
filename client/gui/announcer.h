#pragma once

#include <QString>
#include <QWidget>

// Speaks a short text through the screen reader without moving the focus:
// an invisible child with the notification role whose name is the text,
// shown to the accessibility bus on each announcement. For what a person
// must hear at once, such as a change of alarm state.
class CAnnouncer : public QWidget {
    Q_OBJECT

public:
    explicit CAnnouncer(const QString& name, QWidget* parent);

    void announce(const QString& text);
    QString lastText() const { return text_; }
    int count() const { return count_; }

private:
    QString text_;
    int count_ = 0;
};
