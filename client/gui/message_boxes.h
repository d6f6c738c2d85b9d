#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <vector>

class QWidget;

// Every message box the client shows goes through one of these, so that
// tests can answer them. The client's boxes are modal warnings with an OK
// button; the call returns when the operator has closed the box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void warning(QWidget* parent, const QString& text) = 0;
    // Closes the open box saying text, if any (its warning call returns).
    virtual void dismiss(const QString& text) { (void)text; }

    // The title of every box: distinct from every window's title, so that a
    // screen reader tells a box from the window behind it.
    static QString title() { return QStringLiteral("KOV CLIENT Warning"); }
};

// The real boxes (QMessageBox).
class WidgetMessageBoxes : public MessageBoxes {
public:
    void warning(QWidget* parent, const QString& text) override;
    void dismiss(const QString& text) override;

private:
    std::vector<QPointer<QMessageBox>> open_;
};
