#include "shelve_dialog.h"

#include "ui_shelvedialog.h"

#include <QPushButton>

ShelveDialog::ShelveDialog(const QString& alarmName, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ShelveDialog>())
{
    ui_->setupUi(this);
    ui_->alarmName->setText(alarmName);
    ui_->buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Shelve"));
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ShelveDialog::~ShelveDialog() = default;

int ShelveDialog::minutes() const
{
    const int index = ui_->duration->currentIndex();
    return index >= 0 && index < int(std::size(choices)) ? choices[index] : choices[0];
}

QString ShelveDialog::comment() const
{
    return ui_->comment->text().trimmed();
}
