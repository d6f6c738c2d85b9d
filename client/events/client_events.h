#pragma once

#include "history_records.h"

#include <QMetaMethod>
#include <QObject>

// The typed path that follows every event: the main window routes each pushed
// payload once (by its TypeCode) and emits here, on the GUI thread, what it
// carried. Everything added beside the Parts' windows (history, trends,
// alarm handling) listens here and never sees a TypeCode. A receiver copies
// the value into a queue or buffer and returns: it runs inside the
// instrument's push.
class ClientEvents : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether anybody listens to messages: a sender can then skip copying
    // the text.
    bool hasMessageReceivers() const
    {
        return isSignalConnected(QMetaMethod::fromSignal(&ClientEvents::message));
    }

signals:
    void reading(const History::Reading& reading);
    void message(const History::MessageRecord& message);
    void setpointChanged(const History::SetpointChange& change);
    void linkChanged(const History::LinkChange& change);
    void alarm(const History::AlarmRecord& record);
};
