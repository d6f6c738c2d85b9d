#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class CKovClientDialog;
class ClientHost;
namespace Ui {
class CKovProgressDialog;
}

// A small window that shows how connecting or disconnecting goes, in its
// caption and its bar, once a second. When the disconnection is done it ends
// the main window, and with it the program.
class CKovProgressDialog : public QDialog {
    Q_OBJECT

public:
    enum Mode {
        Connecting = 0,
        Disconnecting = 1
    };

    CKovProgressDialog(ClientHost& host, QWidget* parent);
    ~CKovProgressDialog() override;

    // Starts over with a caption stem and a mode; not shown yet.
    bool Init(CKovClientDialog* owner, const QString& title, int mode);

    // One tick: caption, bar, and what follows (see the table in the .cpp).
    void OnTimer();

    int barPosition() const;

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showStep(const char* suffix, int position);
    void step();
    void stopTimer();

    std::unique_ptr<Ui::CKovProgressDialog> ui_;
    ClientHost& host_;
    int timer_ = 0;
    int mode_ = Connecting;
    QString title_;
    CKovClientDialog* owner_ = nullptr;
};
