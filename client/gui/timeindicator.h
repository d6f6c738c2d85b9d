#pragma once

#include <QString>

#include <string>

class LinkState;
class QWidget;

// The two elapsed times of a dialog's status row: how long the link has been
// up and how long the instrument has been ON, as hh:mm:ss. Reads the link
// state each time the owner's one-second timer calls Refresh.
class CTimeIndicator {
public:
    // The fields are object names of QLabels in `owner`.
    CTimeIndicator(
        const QString& connectionField, const QString& targetField, LinkState* state, QWidget* owner);
    virtual ~CTimeIndicator() = default;

    CTimeIndicator(const CTimeIndicator&) = delete;
    CTimeIndicator& operator=(const CTimeIndicator&) = delete;

    void Refresh();

private:
    void setText(const QString& field, const std::string& text);

    QString connectionField_;
    QString targetField_;
    LinkState* state_;
    QWidget* owner_;
};
