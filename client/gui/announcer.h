#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

// Speaks short texts through the screen reader without moving the focus,
// for what a person must hear at once, such as a change of alarm state.
// The voice is an invisible window of its own with the notification role,
// whose name is the text, shown to the accessibility bus for each
// announcement: a window of its own so that the reader says the text alone,
// not the window it belongs to first. Texts announced within one pass of
// the event loop are spoken as one.
class CAnnouncer : public QObject {
    Q_OBJECT

public:
    explicit CAnnouncer(const QString& name, QObject* parent);
    ~CAnnouncer() override;

    void announce(const QString& text);
    // The text last spoken, and how many were spoken.
    QString lastText() const { return text_; }
    int count() const { return count_; }

private:
    void speak();

    std::unique_ptr<QWidget> voice_;
    QStringList pending_;
    QString text_;
    int count_ = 0;
};
