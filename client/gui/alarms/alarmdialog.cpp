#include "alarmdialog.h"

#include "alarm_setpoints.h"
#include "client_host.h"
#include "decimal_text.h"
#include "field_colour.h"
#include "message_boxes.h"
#include "paced_label.h"
#include "ui_alarmdialog.h"

#include <kov.hh>

#include <QAccessible>

#include <optional>
#include <utility>

namespace {
constexpr double lowestSetpoint = 0.0;
constexpr double highestSetpoint = 100.0;

History::Setpoint setpointOf(double AlarmSetpoints::*field)
{
    if (field == &AlarmSetpoints::tempWarning)
        return History::Setpoint::TempWarning;
    if (field == &AlarmSetpoints::rhWarning)
        return History::Setpoint::RhWarning;
    if (field == &AlarmSetpoints::overRh)
        return History::Setpoint::OverRh;
    return History::Setpoint::OverTemp;
}

// "%12.2lf", whatever the process locale.
QString readingText(double value)
{
    return QString::fromStdString(DecimalText::format(value));
}
} // namespace

CAlarmDialog::CAlarmDialog(ClientHost& host, QWidget* parent)
    : QDialog(parent),
      host_(host),
      ui_(std::make_unique<Ui::CAlarmDialog>()),
      showReadings_([this] { showReadings(); }, this)
{
    ui_->setupUi(this);
    bindSetpoints();
}

CAlarmDialog::~CAlarmDialog() = default;

void CAlarmDialog::bindSetpoints()
{
    edits_ = {{
        {ui_->overTempEdit, ui_->overTempLabel, ui_->setOverTempButton, &AlarmSetpoints::overTemp},
        {ui_->overRhEdit, ui_->overRhLabel, ui_->setOverRhButton, &AlarmSetpoints::overRh},
        {ui_->rhWarningEdit, ui_->rhWarningLabel, ui_->setRhWarningButton, &AlarmSetpoints::rhWarning},
        {ui_->tempWarningEdit, ui_->tempWarningLabel, ui_->setTempWarningButton,
            &AlarmSetpoints::tempWarning},
    }};
    for (const Setpoint& setpoint : edits_) {
        connect(setpoint.button, &QPushButton::clicked, this, [this, setpoint] { store(setpoint); });
        // Enter sets the edit it was typed in, never another row's setpoint.
        connect(setpoint.edit, &QLineEdit::returnPressed, setpoint.button, &QPushButton::click);
    }
}

bool CAlarmDialog::Create(const QString& title, AlarmSetpoints* setpoints)
{
    if (!setpoints)
        return false;
    setpoints_ = setpoints;
    fillEdits();
    setWindowTitle(title);
    return true;
}

// Up to 15 significant digits without trailing zeros (QString::number never
// uses the process locale).
void CAlarmDialog::fillEdits()
{
    for (const Setpoint& setpoint : edits_)
        setpoint.edit->setText(QString::number(setpoints_->*setpoint.field, 'g', 15));
}

void CAlarmDialog::OnHousekeeping(const KOV::HousekeepingData* reading)
{
    if (!reading)
        return;
    currentTemp_ = reading->temp;
    currentRh_ = reading->rh;
    // A shown window follows the screen, not the readings; a hidden one
    // costs no paint and is simply kept current, unless a screen reader
    // listens: then it would hear of every change of a window it cannot
    // read, so the hidden one takes its readings when shown.
    if (isVisible())
        showReadings_.request();
    else if (QAccessible::isActive())
        readingsWaiting_ = true;
    else
        showReadings();
}

void CAlarmDialog::showReadings()
{
    setIfChanged(ui_->currentTempValue, readingText(currentTemp_));
    setIfChanged(ui_->currentRhValue, readingText(currentRh_));
    EvaluateAlarms();
}

void CAlarmDialog::setIfChanged(CPacedLabel* label, const QString& text)
{
    label->setReading(text);
}

void CAlarmDialog::EvaluateAlarms()
{
    using State = AlarmLevels::State;
    const State temp = setpoints_ ? AlarmLevels::statusTemperature(currentTemp_, *setpoints_) : State::NoData;
    const State rh = setpoints_ ? AlarmLevels::statusHumidity(currentRh_, *setpoints_) : State::NoData;
    tempStatusColour_ = AlarmLevels::statusColour(temp);
    rhStatusColour_ = AlarmLevels::statusColour(rh);
    showStatus(ui_->tempStatus, temp, AlarmLevels::temperatureText(temp), tempStatusColour_);
    showStatus(ui_->rhStatus, rh, AlarmLevels::humidityText(rh), rhStatusColour_);
}

void CAlarmDialog::showStatus(QLineEdit* field, AlarmLevels::State state, const char* text, Rgb colour)
{
    FieldColour::set(field, colour);
    // Readings may come many times a second: tell screen readers of changes only.
    const QString shown = QString::fromLatin1(text);
    if (field->text() != shown)
        field->setText(shown);
    const QString spoken = QString::fromLatin1(AlarmLevels::spoken(state));
    if (field->accessibleDescription() != spoken)
        field->setAccessibleDescription(spoken);
}

void CAlarmDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    showReadings_.flushNow();
    if (std::exchange(readingsWaiting_, false))
        showReadings();
    else
        EvaluateAlarms();
}

// Every edit must hold an acceptable setpoint, but only the pressed row's
// value goes into the record; the others stay typed, not stored.
void CAlarmDialog::store(const Setpoint& pressed)
{
    if (!setpoints_)
        return;
    double chosen = 0.0;
    for (const Setpoint& setpoint : edits_) {
        const std::optional<double> value = readEdit(setpoint);
        if (!value)
            return;
        if (setpoint.field == pressed.field)
            chosen = *value;
    }
    const double old = setpoints_->*pressed.field;
    setpoints_->*pressed.field = chosen;
    EvaluateAlarms();
    if (old != chosen)
        emit setpointStored(setpointOf(pressed.field), old, chosen);
    if (!host_.storeSetpoints())
        host_.messageBoxes().warning(
            this, QStringLiteral("The setpoint could not be written to kov.cfg. See client.log for details"));
}

std::optional<double> CAlarmDialog::readEdit(const Setpoint& setpoint)
{
    const std::optional<double> value = DecimalText::parseWhole(setpoint.edit->text().toStdString());
    if (!value) {
        refuse(setpoint, QStringLiteral("please enter a number."));
        return std::nullopt;
    }
    if (*value < lowestSetpoint || *value > highestSetpoint) {
        refuse(setpoint, QStringLiteral("please enter a number between 0 and 100."));
        return std::nullopt;
    }
    // "-0" is stored as 0, not written back as "-0.00".
    return *value + 0.0;
}

// The box names the field by its label; the edit then has the focus with its
// text selected, ready to be typed over.
void CAlarmDialog::refuse(const Setpoint& setpoint, const QString& request)
{
    host_.messageBoxes().warning(this, setpoint.label->text().simplified() + QLatin1Char(' ') + request);
    setpoint.edit->setFocus();
    setpoint.edit->selectAll();
}
