#include "clientdialog.h"

#include "alarm_centre.h"
#include "alarm_display.h"
#include "alarm_levels.h"
#include "alarm_list_panel.h"
#include "alarmdialog.h"
#include "announcer.h"
#include "client_events.h"
#include "client_host.h"
#include "field_colour.h"
#include "levelbar.h"
#include "link_state.h"
#include "link_status_row.h"
#include "message_boxes.h"
#include "payload_decoder.h"
#include "progressdialog.h"
#include "resources.h"
#include "status_summary.h"
#include "statusdialog.h"
#include "trace.h"
#include "trendsdialog.h"
#include "ui_clientdialog.h"

#include <kov.hh>

#include <QDateTime>
#include <QPointer>
#include <QTimerEvent>

#include <cstdint>

namespace {

// Changes between alarm states are spoken; a reading with no data passes
// in silence, so that the first reading within limits says nothing and a
// single missing reading does not repeat an alarm.
bool worthSaying(AlarmLevels::State state)
{
    return state != AlarmLevels::State::NoData;
}

} // namespace

CKovClientDialog::CKovClientDialog(ClientHost& host, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CKovClientDialog>()), host_(host)
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    temperature_[0] = ui_->electronicsTemperature;
    temperature_[1] = ui_->spectrographTemperature;
    humidity_[0] = ui_->electronicsHumidity;
    humidity_[1] = ui_->spectrographHumidity;
    water_[0] = ui_->electronicsWaterSensor;
    water_[1] = ui_->spectrographWaterSensor;
    temperatureRange_[0][0] = ui_->electronicsTemperatureMin;
    temperatureRange_[0][1] = ui_->electronicsTemperatureMax;
    temperatureRange_[1][0] = ui_->spectrographTemperatureMin;
    temperatureRange_[1][1] = ui_->spectrographTemperatureMax;
    humidityRange_[0][0] = ui_->electronicsHumidityMin;
    humidityRange_[0][1] = ui_->electronicsHumidityMax;
    humidityRange_[1][0] = ui_->spectrographHumidityMin;
    humidityRange_[1][1] = ui_->spectrographHumidityMax;
    announcer_ = new CAnnouncer(QStringLiteral("alarmAnnouncer"), this);
    for (int housing = 0; housing < Housing::count; ++housing)
        for (CLevelBar* gauge : {temperature_[housing], humidity_[housing]})
            connect(gauge, &CLevelBar::alarmStateChanged, announcer_, &CAnnouncer::announce);

    connect(ui_->exitButton, &QPushButton::clicked, this, &CKovClientDialog::reject);
    connect(ui_->reconnectButton, &QPushButton::clicked, this, &CKovClientDialog::OnReconnect);
    connect(ui_->alarmsButton, &QPushButton::clicked, this, [this] { status_->showNormal(); });
    connect(ui_->trendsButton, &QPushButton::clicked, this, [this] { trends_->showNormal(); });
    connect(
        ui_->electronicsSetpointsButton, &QPushButton::clicked, this, [this] { alarms_[0]->showNormal(); });
    connect(
        ui_->spectrographSetpointsButton, &QPushButton::clicked, this, [this] { alarms_[1]->showNormal(); });
    KOV_TRACE("CKovClientDialog::CKovClientDialog\n");
}

CKovClientDialog::~CKovClientDialog() = default;

bool CKovClientDialog::Create()
{
    LinkState* link = &host_.linkState();
    statusRow_ = std::make_unique<LinkStatusRow>(QStringLiteral("linkPicture"), *link, this);

    for (int housing = 0; housing < Housing::count; ++housing)
        setUpGauges(housing);

    status_ = std::make_unique<CKovStatusDialog>(*link, this);
    status_->Create();
    status_->setHistorySource(host_.historySourceFactory());
    status_->setInstrument(host_.instrument());
    alarms_[0] = std::make_unique<CAlarmDialog>(host_, this);
    alarms_[0]->Create(QStringLiteral("KOV Electronics Housing Setpoints"), &host_.setpoints(0));
    alarms_[1] = std::make_unique<CAlarmDialog>(host_, this);
    alarms_[1]->Create(QStringLiteral("KOV Spectrometer Housing Setpoints"), &host_.setpoints(1));
    for (int housing = 0; housing < Housing::count; ++housing)
        connect(alarms_[housing].get(), &CAlarmDialog::setpointStored, this,
            [this, housing](History::Setpoint which, double oldValue, double newValue) {
                emit events().setpointChanged(History::SetpointChange{
                    housing, which, oldValue, newValue, QDateTime::currentMSecsSinceEpoch()});
            });
    trends_ = std::make_unique<CTrendsDialog>(host_, this);
    trends_->Create();
    trends_->listenTo(events());

    setUpAlarms();

    progress_ = std::make_unique<CKovProgressDialog>(host_, this);
    progress_->Init(this, QStringLiteral("KOV Connect Progress"), CKovProgressDialog::Connecting);
    progress_->show();

    startTimer1s();
    StatusSummary::update(*this, "linkPicture");
    setWindowIcon(Resources::applicationIcon());
    return true;
}

void CKovClientDialog::setUpAlarms()
{
    AlarmDisplay::Widgets widgets;
    widgets.summary = ui_->alarmSummary;
    widgets.acknowledge = ui_->acknowledgeButton;
    widgets.silence = ui_->silenceButton;
    widgets.source = ui_->alarmSource;
    widgets.service = ui_->alarmService;
    widgets.reconnect = ui_->reconnectStatus;
    widgets.age[0] = ui_->electronicsAge;
    widgets.age[1] = ui_->spectrographAge;
    for (int housing = 0; housing < Housing::count; ++housing) {
        widgets.temperature[housing] = temperature_[housing];
        widgets.humidity[housing] = humidity_[housing];
        widgets.water[housing] = water_[housing];
    }
    alarmDisplay_ = std::make_unique<AlarmDisplay>(
        alarmCentre(), alarmSound_, widgets, [this](int housing) { showStale(housing); },
        [this] { return host_.reconnectSecondsLeft(); });
    connect(&alarmCentre(), &AlarmCentre::raised, this, [this](const QString& name, bool cancelsSilence) {
        alarmSound_.raised(name, isActiveWindow(), cancelsSilence);
    });
    // Whose alarms are shown is heard when it changes (the archive or the
    // service went, or came back); a refused acknowledgement is said in a box.
    connect(&alarmCentre(), &AlarmCentre::sourceChanged, announcer_, &CAnnouncer::announce);
    connect(&alarmCentre(), &AlarmCentre::refused, this, [this](const QString& text) {
        QWidget* over =
            status_->isVisible() && status_->isActiveWindow() ? static_cast<QWidget*>(status_.get()) : this;
        host_.messageBoxes().warning(over, text);
    });
    status_->addPanel(new AlarmListPanel(alarmCentre()));
    alarmTicks_.setInterval(1000);
    connect(&alarmTicks_, &QTimer::timeout, alarmDisplay_.get(), &AlarmDisplay::tick);
}

// No reading for too long: the last values are no longer current.
void CKovClientDialog::showStale(int housing)
{
    for (CLevelBar* gauge : {temperature_[housing], humidity_[housing]}) {
        gauge->ChangeBarColor(DisplayColour::noData);
        gauge->setStateText(QStringLiteral("STALE"));
        gauge->setMark(QStringLiteral("STALE"));
    }
    setWaterSensor(housing, DisplayColour::noData, QStringLiteral("STALE"));
}

ClientEvents& CKovClientDialog::events() const
{
    return host_.events();
}

AlarmCentre& CKovClientDialog::alarmCentre() const
{
    return host_.alarmCentre();
}

void CKovClientDialog::linkChanged(bool up)
{
    if (!up || exiting_)
        return;
    host_.messageBoxes().dismiss(QStringLiteral("KOV CLIENT disconnected from target"));
    startTimer1s();
}

void CKovClientDialog::setUpGauges(int housing)
{
    const bool border = true;
    const bool showText = true;
    CLevelBar* temperature = temperature_[housing];
    temperature->Create(border, showText, DisplayColour::gaugeWithin, DisplayColour::neutral);
    temperature->Reset();
    temperature->SetUnits(QStringLiteral("°C"));
    temperatureRange_[housing][0]->setText(QString::asprintf("%d °C", 0));
    temperatureRange_[housing][1]->setText(QString::asprintf("%d °C", 50));

    CLevelBar* humidity = humidity_[housing];
    humidity->Create(border, showText, DisplayColour::gaugeWithin, DisplayColour::neutral);
    humidity->Reset();
    humidity->SetUnits(QStringLiteral("%"));
    humidityRange_[housing][0]->setText(QString::asprintf("%d %%", 0));
    humidityRange_[housing][1]->setText(QString::asprintf("%d %%", 100));

    setWaterSensor(housing, DisplayColour::noData, QStringLiteral("INVALID DATA"));

    const QString noData = QString::fromLatin1(AlarmLevels::spoken(AlarmLevels::State::NoData));
    for (CLevelBar* gauge : {temperature, humidity}) {
        gauge->ChangeBarColor(DisplayColour::noData);
        gauge->setStateText(noData);
        gauge->setHeardState(QString::fromLatin1(AlarmLevels::spoken(AlarmLevels::State::Within)));
        gauge->Reset();
        // The humidity gauges take their range 0 to 100 with the first reading.
        gauge->SetValue(AlarmLevels::noData, 0, 50);
    }
}

void CKovClientDialog::setWaterSensor(int housing, Rgb colour, const QString& text)
{
    waterColour_[housing] = colour;
    QLineEdit* box = water_[housing];
    FieldColour::set(box, colour);
    if (box->text() != text)
        box->setText(text);
}

void CKovClientDialog::OnEvent(const CORBA::TypeCode* type, const void* value)
{
    KOV_TRACE("CKovClientDialog::OnEvent %x, %lx\n",
        static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(type)),
        static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(value)));
    if (!type || !value)
        return;

    switch (PayloadDecoder::classify(type)) {
    case PayloadDecoder::Kind::Reading: {
        const auto* reading = static_cast<const KOV::HousekeepingData*>(value);
        const int housing = static_cast<int>(reading->id);
        if (!Housing::valid(housing))
            return;
        UpdateHousing(*reading);
        alarms_[housing]->OnHousekeeping(reading);
        // A copy into a plain value: the receivers queue it and return.
        emit events().reading(PayloadDecoder::reading(*reading, PayloadDecoder::utcNowMs()));
        break;
    }
    case PayloadDecoder::Kind::InstrumentEvent: {
        const auto* event = static_cast<const KOV::Event*>(value);
        KOV_TRACE("Event ID: %d name: %s arrival_time: %d\n", static_cast<int>(event->id), event->name.in(),
            static_cast<int>(event->arrival_time));
        break;
    }
    case PayloadDecoder::Kind::Message: {
        const auto* message = static_cast<const KOV::Message*>(value);
        forward(*message);
        // Only when listened to: the text's copy is the one allocation here.
        if (events().hasMessageReceivers())
            emit events().message(PayloadDecoder::message(*message, PayloadDecoder::utcNowMs()));
        break;
    }
    case PayloadDecoder::Kind::Text: {
        // One record for the list and the listeners, timed once.
        const History::MessageRecord text =
            PayloadDecoder::text(static_cast<const char*>(value), PayloadDecoder::utcNowMs());
        KOV::Message message;
        message.text = CORBA::string_dup(text.text.c_str());
        message.priority = MESSAGE;
        message.arrival_time = static_cast<TimeBase::TimeT>(text.instrumentTime);
        forward(message);
        if (events().hasMessageReceivers())
            emit events().message(text);
        break;
    }
    case PayloadDecoder::Kind::Unknown:
        break;
    }
}

void CKovClientDialog::forward(const KOV::Message& message)
{
    if (status_)
        status_->OnMessage(&message);
}

void CKovClientDialog::UpdateHousing(const KOV::HousekeepingData& reading)
{
    const int housing = static_cast<int>(reading.id);
    if (housing < 0 || housing >= Housing::count)
        return;
    if (reading.wateralarm)
        setWaterSensor(housing, DisplayColour::overLimit, QStringLiteral("ALARM ON    "));
    else
        setWaterSensor(housing, DisplayColour::neutral, QStringLiteral("OK          "));

    // Read at each reading: a setpoint changed a moment ago applies now.
    const AlarmSetpoints& levels = host_.setpoints(housing);
    const AlarmLevels::State tempState = AlarmLevels::gaugeTemperature(reading.temp, levels);
    CLevelBar* temperature = temperature_[housing];
    temperature->ChangeBarColor(AlarmLevels::gaugeColour(tempState));
    temperature->setStateText(QString::fromLatin1(AlarmLevels::spoken(tempState)), worthSaying(tempState));
    // A reading that is not a number is shown by the gauge as no data.
    temperature->SetValue(reading.temp, 0, 50);

    const double rh = AlarmLevels::gaugeHumidityValue(reading.rh);
    const AlarmLevels::State rhState = AlarmLevels::gaugeHumidity(reading.rh, levels);
    CLevelBar* humidity = humidity_[housing];
    humidity->ChangeBarColor(AlarmLevels::gaugeColour(rhState));
    humidity->setStateText(QString::fromLatin1(AlarmLevels::spoken(rhState)), worthSaying(rhState));
    humidity->SetValue(rh, 0, 100);
}

void CKovClientDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_) {
        QDialog::timerEvent(event);
        return;
    }
    OnTimer();
}

void CKovClientDialog::OnTimer()
{
    if (alarmDisplay_)
        alarmDisplay_->tick();
    statusRow_->Refresh();
    StatusSummary::update(*this, "linkPicture");
    if (host_.linkState().IsConnected()) {
        ui_->reconnectButton->setEnabled(false);
        return;
    }
    // While exiting the link goes down on purpose: nothing to report.
    if (exiting_)
        return;
    statusRow_->link().Refresh();
    StatusSummary::update(*this, "linkPicture");
    ui_->reconnectButton->setEnabled(true);
    // Stopped before the box, so that a box is never stacked on another.
    stopTimer();
    host_.messageBoxes().warning(this, QStringLiteral("KOV CLIENT disconnected from target"));
}

void CKovClientDialog::OnReconnect()
{
    if (exiting_)
        return;
    // One attempt at a time; the timer's next tick decides the button.
    ui_->reconnectButton->setEnabled(false);
    QPointer<CKovClientDialog> self(this);
    host_.Reconnect([self] {
        if (self && !self->exiting_)
            self->startTimer1s();
    });
}

void CKovClientDialog::reject()
{
    if (exiting_)
        return;
    exiting_ = true;
    host_.Disconnect();
    // The connect progress may still be open in the first second.
    progress_->close();
    progress_->Init(this, QStringLiteral("KOV Disconnect Progress"), CKovProgressDialog::Disconnecting);
    progress_->show();
}

void CKovClientDialog::DestroyWindow()
{
    stopTimer();
    alarmTicks_.stop();
    for (QWidget* companion : std::initializer_list<QWidget*>{
             status_.get(), progress_.get(), alarms_[0].get(), alarms_[1].get(), trends_.get()})
        if (companion)
            companion->hide();
    hide();
    emit windowDestroyed();
}

void CKovClientDialog::startTimer1s()
{
    // On whole seconds, as the alarms and messages window's timer: the idle
    // client then wakes once a second for both.
    if (timer_ == 0)
        timer_ = startTimer(1000, Qt::VeryCoarseTimer);
    alarmTicks_.stop();
}

void CKovClientDialog::stopTimer()
{
    if (timer_ != 0)
        killTimer(timer_);
    timer_ = 0;
    if (alarmDisplay_ && !exiting_)
        alarmTicks_.start();
}

bool CKovClientDialog::timerRunning() const
{
    return timer_ != 0;
}
