#pragma once

#include <QPixmap>
#include <QString>

class LinkState;
class QWidget;

// The link-status picture of a dialog's status row: a steady red square
// while the client has no link to the instrument, a green square blinking
// once a second while it has one. Keeps no state of its own but the blink
// phase; the owner's one-second timer calls Refresh.
class CLinkIndicator {
public:
    // `control` is the object name of the picture (a QLabel) in `owner`;
    // the pictures are resource paths.
    CLinkIndicator(const QString& control, LinkState* state, QWidget* owner, const QString& unlinked,
        const QString& linkedA, const QString& linkedB);

    CLinkIndicator(const CLinkIndicator&) = delete;
    CLinkIndicator& operator=(const CLinkIndicator&) = delete;

    // Shows the picture for the current link state; a control the owner
    // does not have is skipped.
    void Refresh();

    int blinkPhase() const { return blinkPhase_; }

private:
    void draw(const QPixmap& picture, bool linked);

    QPixmap linkedA_;
    QPixmap unlinked_;
    QPixmap linkedB_;
    QString control_;
    LinkState* state_;
    QWidget* owner_;
    int blinkPhase_ = 0;
};
