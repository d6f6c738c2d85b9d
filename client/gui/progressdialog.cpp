#include "progressdialog.h"

#include "client_host.h"
#include "clientdialog.h"
#include "consumer.h"
#include "link_state.h"
#include "ui_progressdialog.h"

#include <QCloseEvent>
#include <QTimerEvent>

CKovProgressDialog::CKovProgressDialog(ClientHost& host, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CKovProgressDialog>()), host_(host)
{
    ui_->setupUi(this);
}

CKovProgressDialog::~CKovProgressDialog() = default;

bool CKovProgressDialog::Init(CKovClientDialog* owner, const QString& title, int mode)
{
    mode_ = mode;
    owner_ = owner;
    title_ = title;
    setWindowTitle(title);
    ui_->progressBar->setRange(0, 100);
    ui_->progressBar->setValue(0);
    stopTimer();
    timer_ = startTimer(1000);
    return true;
}

void CKovProgressDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_) {
        QDialog::timerEvent(event);
        return;
    }
    OnTimer();
}

// Connecting: NOT STARTED and IN PROGRESS keep ticking; COMPLETE, FAILED
// and anything else close the window. Disconnecting: ticks while the ORB
// loop runs and the link is up, then DONE ends the main window.
void CKovProgressDialog::OnTimer()
{
    if (mode_ == Connecting) {
        switch (host_.consumerStatus()) {
        case Consumer::NOT_STARTED:
            showStep(" - NOT STARTED", 0);
            return;
        case Consumer::IN_PROGRESS:
            showStep(" - IN PROGRESS", -1);
            return;
        case Consumer::COMPLETE:
            showStep(" - COMPLETE", 100);
            break;
        case Consumer::FAILED:
            showStep(" - FAILED", 0);
            break;
        default:
            break;
        }
        close();
        return;
    }
    if (mode_ == Disconnecting) {
        if (host_.consumerDone() == 0 && host_.linkState().IsConnected() == 1) {
            showStep("- DISCONNECTING ", -1);
            return;
        }
        showStep(" - DONE ", 100);
        stopTimer();
        if (owner_)
            owner_->DestroyWindow();
        return;
    }
    close();
}

// position -1 steps the bar forward by one, wrapping to the start.
void CKovProgressDialog::showStep(const char* suffix, int position)
{
    setWindowTitle(title_ + QString::fromLatin1(suffix));
    if (position >= 0)
        ui_->progressBar->setValue(position);
    else
        step();
}

void CKovProgressDialog::step()
{
    QProgressBar* bar = ui_->progressBar;
    bar->setValue(bar->value() >= bar->maximum() ? bar->minimum() : bar->value() + 1);
}

int CKovProgressDialog::barPosition() const
{
    return ui_->progressBar->value();
}

// Closing ends only the window; Init starts it again. A disconnection in
// progress cannot be closed away: its end is what ends the program.
void CKovProgressDialog::closeEvent(QCloseEvent* event)
{
    if (mode_ == Disconnecting && timer_ != 0) {
        event->ignore();
        return;
    }
    stopTimer();
    QDialog::closeEvent(event);
}

void CKovProgressDialog::reject()
{
    if (mode_ == Disconnecting && timer_ != 0)
        return;
    stopTimer();
    QDialog::reject();
}

void CKovProgressDialog::stopTimer()
{
    if (timer_ != 0)
        killTimer(timer_);
    timer_ = 0;
}
