#include "client.h"

#include "alarm_settings.h"
#include "archive_address.h"
#include "archive_settings.h"
#include "client_events.h"
#include "clientdialog.h"
#include "exception_printer.h"
#include "history_file.h"
#include "history_recorder.h"
#include "history_settings.h"
#include "history_source_factory.h"
#include "instrument_name.h"
#include "link_state.h"
#include "log_file.h"
#include "message_boxes.h"
#include "sqlite_history_source.h"

#include <ace/Log_Msg.h>

#include <QDateTime>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

CKovClientApp::CKovClientApp(CommandWords words, std::string directory, std::unique_ptr<MessageBoxes> boxes)
    : servant_(this),
      settings_(std::move(directory)),
      store_(settings_, setpoints_),
      words_(std::move(words)),
      boxes_(boxes ? std::move(boxes) : std::make_unique<WidgetMessageBoxes>())
{
    LinkState::Instance().Attach(this);
    // AlarmSetpoints starts at the defaults 32.0, 24.0, 60.0 and 35.0.
}

CKovClientApp::~CKovClientApp()
{
    shutDown();
    storeSetpoints();
    LinkState::Instance().SetConnected(0);
    LinkState::Instance().Attach(nullptr);
}

// Exit never waits for ever: no event is handed to the window any more and
// the waiting ones are released, the remote calls end (each bounded by the
// call limit), then the ORB loop ends before the consumer is destroyed.
void CKovClientApp::shutDown()
{
    exiting_ = true;
    if (autoReconnect_)
        autoReconnect_->stop();
    handoff_.setReceiverUp(false);
    handoff_.close();
    if (history_)
        history_->stop();
    worker_.stop();
    if (subscribed_)
        closeReception();
}

void CKovClientApp::closeReception()
{
    if (receptionClosed_.exchange(true))
        return;
    consumer_.close(1);
}

int CKovClientApp::InitInstance()
{
    settings_.openDefaultConfig();
    std::string problem;
    instrument_ = InstrumentName::load(settings_, InstrumentName::fromWords(words_.words()), &problem);
    if (!problem.empty())
        ACE_ERROR((LM_WARNING, "%s\n", problem.c_str()));
    for (int housing = 0; housing < Housing::count; ++housing)
        store_.loadSetpoints(Housing::configNames[housing], housing);
    timing_ = ClientTiming::read(settings_);
    alarms_ = std::make_unique<AlarmCentre>(events_, AlarmSettings::read(settings_),
        [this](int housing) -> const AlarmSetpoints& { return setpoints(housing); });
    restoreShelves();
    followRoomAlarms();
    startHistory();
    autoReconnect_ = std::make_unique<AutoReconnect>(
        timing_.reconnectFirstSeconds, timing_.reconnectLongestSeconds, [this] { startReconnect(); });

    if (!Connect())
        return 0;

    dialog_ = std::make_unique<CKovClientDialog>(*this);
    connect(dialog_.get(), &CKovClientDialog::windowDestroyed, this, [this] {
        handoff_.setReceiverUp(false);
        emit finished();
    });
    history_->attach(events_, dialog_.get());
    for (int housing = 0; housing < Housing::count; ++housing)
        history_->recordSetpoints(housing, setpoints_[housing]);
    emitLink(History::LinkEvent::Connected);
    handoff_.setReceiver(dialog_.get());
    dialog_->Create();
    dialog_->showNormal();
    handoff_.setReceiverUp(true);
    worker_.start([this] { pollTargetOnTime(); });
    return 1;
}

int CKovClientApp::Connect()
{
    CommandWords::Argv argv(words_.words());
    if (consumer_.init(argv.argc(), argv.argv(), &servant_) == -1) {
        report("Consumer init failed\n", "Event consumer init failed. See client.log for details");
        return 0;
    }
    subscribed_ = true;
    CORBA::ORB_var orb = CORBA::ORB::_duplicate(consumer_.orb());
    if (target_.init(orb.in()) == -1) {
        report("KOV target interface initialize failed\n",
            "Event consumer run failed. See client.log for details");
        return 0;
    }
    if (consumer_.run() == -1) {
        report("Consumer run failed\n", "Event consumer run failed. See client.log for details");
        return 0;
    }
    linkState().SetConnected(1);
    return 1;
}

// Shelves in force when the client last ended, from the history file's
// journal; read before its writer starts, and before any event comes.
void CKovClientApp::restoreShelves()
{
    const std::string path = HistoryFile::pathIn(settings_.configFile().directory());
    if (!QFileInfo::exists(QString::fromStdString(path)))
        return;
    History::SqliteHistorySource journal(path);
    const std::int64_t now = HistoryRecorder::utcNowMs();
    const std::vector<History::AlarmRecord> records =
        journal.alarmRecords(now - AlarmEngine::longestShelfMs, std::numeric_limits<std::int64_t>::max());
    if (!journal.lastError().empty())
        ACE_ERROR((LM_WARNING, "The shelves in force could not be read: %s\n", journal.lastError().c_str()));
    for (const AlarmRecord& shelf : AlarmEngine::shelvesInForce(records, now))
        if (const std::optional<AlarmPoint> point = AlarmPoint::fromKey(shelf.pointKey))
            alarms_->restoreShelf(*point, shelf.untilMs, QString::fromStdString(shelf.user),
                QString::fromStdString(shelf.comment));
}

// With a PostgreSQL archive the alarms shown are the room's, kept by the
// instrument's alarm service; otherwise this console's own, saying why.
void CKovClientApp::followRoomAlarms()
{
    const std::string text = ArchiveSettings::load(settings_).address;
    if (text.empty()) {
        return;
    }
    std::string error;
    const std::optional<History::ArchiveAddress> address = History::ArchiveAddress::parse(text, error);
    if (!address) {
        alarms_->setOwnReason(QStringLiteral("the archive's address is not valid"));
        return;
    }
    if (address->kind != History::ArchiveAddress::Kind::Postgres) {
        alarms_->setOwnReason(QStringLiteral("the archive is a file, with no alarm service"));
        return;
    }
    RoomAlarmReader::Options options;
    options.address = *address;
    options.instrument = instrument_;
    alarms_->followRoom(std::move(options));
}

// The history file beside kov.cfg; its writer opens it meanwhile.
void CKovClientApp::startHistory()
{
    std::string problem;
    const HistorySettings settings = HistorySettings::load(settings_, &problem);
    if (!problem.empty())
        ACE_ERROR((LM_WARNING, "%s\n", problem.c_str()));
    history_ = std::make_unique<HistoryRecorder>(settings_.configFile().directory(), settings, *boxes_);
}

HistorySourceFactory CKovClientApp::historySourceFactory()
{
    const std::string path =
        history_ ? history_->path() : HistoryFile::pathIn(settings_.configFile().directory());
    // Called on the windows' reader thread: the box goes to the GUI thread.
    QPointer<HistoryRecorder> recorder(history_.get());
    auto notice = [recorder](const std::string& text) {
        ACE_ERROR((LM_WARNING, "History: %s\n", text.c_str()));
        QMetaObject::invokeMethod(
            recorder,
            [recorder, text] {
                if (recorder)
                    recorder->showNotice(QString::fromStdString(text));
            },
            Qt::QueuedConnection);
    };
    return History::HistorySourceFactory(ArchiveSettings::load(settings_).address, instrument_, path, notice)
        .function();
}

void CKovClientApp::emitLink(History::LinkEvent kind, std::string reason)
{
    emit events_.linkChanged(History::LinkChange{kind, std::move(reason), HistoryRecorder::utcNowMs()});
}

void CKovClientApp::report(const char* logText, const char* boxText)
{
    ACE_ERROR((LM_ERROR, "%p\n", logText));
    boxes_->warning(dialog_.get(), QString::fromUtf8(boxText));
}

// Callers pass a housing the reading was checked for; any other index is
// a fault of the caller, never quietly the electronics housing.
AlarmSetpoints& CKovClientApp::setpoints(int housing)
{
    if (!Housing::valid(housing))
        throw std::out_of_range("no housing " + std::to_string(housing));
    return setpoints_[housing];
}

LinkState& CKovClientApp::linkState()
{
    return LinkState::Instance();
}

bool CKovClientApp::storeSetpoints()
{
    if (store_.saveSetpoints())
        return true;
    ACE_ERROR((LM_ERROR, "Cannot write the setpoints to %s: %s\n", settings_.configFile().path().c_str(),
        store_.lastError().c_str()));
    return false;
}

// The operator's Reconnect: tries at once (or joins the try under way) and
// the automatic waits start from the first again.
void CKovClientApp::Reconnect(std::function<void()> done)
{
    if (linkState().IsConnected()) {
        if (done)
            done();
        return;
    }
    if (autoReconnect_)
        autoReconnect_->operatorTried();
    if (done)
        reconnectDone_.push_back(std::move(done));
    operatorAsked_ = true;
    startReconnect();
}

// Looks "KOVSYSTEM" up again and subscribes to the current "Notifier", on
// the worker: the events go on reaching the window meanwhile.
void CKovClientApp::startReconnect()
{
    if (linkState().IsConnected() || reconnecting_ || exiting_)
        return;
    reconnecting_ = true;
    const bool quiet = !operatorAsked_ && autoReconnect_ && autoReconnect_->quiet();
    CORBA::ORB_var orb = CORBA::ORB::_duplicate(consumer_.orb());
    const bool automatic = !operatorAsked_;
    worker_.post([this, orb, quiet, automatic] {
        LogFile::QuietThread hush(quiet);
        int target = target_.init(orb.in());
        if (target == 0 && automatic && !targetAnswers())
            target = -1;
        const int events = target == 0 ? consumer_.resubscribe() : 0;
        QMetaObject::invokeMethod(
            this, [this, target, events] { finishReconnect(target, events); }, Qt::QueuedConnection);
    });
}

// Worker thread. An automatic try first asks for the ON time: a hung
// instrument would otherwise queue up the unsubscribe and subscribe of every
// try and run them in any order once it resumes, which can leave it without
// this client's subscription although the last try succeeded.
bool CKovClientApp::targetAnswers()
{
    KOV::System_ptr system = target_.system();
    if (CORBA::is_nil(system))
        return false;
    try {
        system->elapsedTime();
        return true;
    } catch (const CORBA::Exception& ex) {
        ExceptionPrinter::print(ex, "Unexpected exception\n", stderr);
        return false;
    }
}

void CKovClientApp::finishReconnect(int target, int events)
{
    reconnecting_ = false;
    std::vector<std::function<void()>> done = std::move(reconnectDone_);
    reconnectDone_.clear();
    if (target == -1)
        reconnectFailed("KOV target interface initialize failed\n");
    else if (events == -1)
        reconnectFailed("Consumer subscribe failed\n");
    else
        reconnected();
    for (const std::function<void()>& call : done)
        call();
}

// The operator is told as before; a try of its own is only logged, and
// not every time.
void CKovClientApp::reconnectFailed(const char* logText)
{
    const bool asked = std::exchange(operatorAsked_, false);
    if (asked)
        report(logText, "KOV CLIENT reconnect failed. See client.log for details");
    if (!autoReconnect_ || exiting_)
        return;
    if (asked)
        autoReconnect_->linkLost();
    else
        autoReconnect_->failed(LogFile::oneLine(logText));
}

void CKovClientApp::reconnected()
{
    const bool asked = std::exchange(operatorAsked_, false);
    linkState().SetConnected(1);
    if (autoReconnect_)
        autoReconnect_->succeeded();
    ACE_DEBUG((LM_INFO, "%s\n", asked ? "Reconnected" : "Reconnected automatically"));
    if (!dialog_)
        return;
    emitLink(History::LinkEvent::Reconnected);
    alarms_->linkUp(true);
    dialog_->linkChanged(true);
}

int CKovClientApp::reconnectSecondsLeft() const
{
    return autoReconnect_ && !LinkState::Instance().IsConnected() ? autoReconnect_->secondsUntilTry() : 0;
}

void CKovClientApp::Disconnect()
{
    exiting_ = true;
    if (autoReconnect_)
        autoReconnect_->stop();
    if (!linkState().IsConnected())
        return;
    emitLink(History::LinkEvent::Lost, "the operator ended the client");
    worker_.post([this] {
        try {
            target_.shutdown();
            closeReception();
        } catch (const CORBA::Exception& ex) {
            ExceptionPrinter::print(ex, "Unexpected exception\n", stderr);
        }
        linkState().SetConnected(0);
    });
}

void CKovClientApp::HandOff(const CORBA::TypeCode* type, const void* value)
{
    handoff_.send(type, value);
}

void CKovClientApp::DropLink()
{
    if (QThread::currentThread() == thread()) {
        dropLinkNow("the event channel dropped the client");
        return;
    }
    handoff_.invoke([this] { dropLinkNow("the event channel dropped the client"); });
}

// GUI thread. The instrument is told on the worker; the subscription and
// the ORB loop stay as they are.
void CKovClientApp::dropLinkNow(const std::string& reason)
{
    if (linkState().IsConnected())
        emitLink(History::LinkEvent::Lost, reason);
    consumer_.close(0);
    worker_.post([this] { target_.shutdown(); });
    linkState().SetConnected(0);
    if (alarms_)
        alarms_->linkUp(false);
    if (dialog_)
        dialog_->linkChanged(false);
    if (autoReconnect_ && !exiting_)
        autoReconnect_->linkLost();
}

// Worker thread, once a second: the instrument's elapsed ON time for the
// indicators. A failed call is a lost link, dropped on the GUI thread unless
// the link has come and gone since the call began.
void CKovClientApp::pollTargetOnTime()
{
    LinkState& link = linkState();
    if (!link.IsConnected())
        return;
    const std::uint64_t connection = link.connection();
    KOV::System_ptr system = target_.system();
    if (CORBA::is_nil(system))
        return;
    try {
        link.SetTargetOnSeconds(system->elapsedTime(), connection);
    } catch (const CORBA::Exception& ex) {
        ExceptionPrinter::print(ex, "Unexpected exception\n", stderr);
        std::string reason = std::string("the instrument did not answer: ") + ex._name();
        QMetaObject::invokeMethod(
            this,
            [this, connection, reason] {
                if (linkState().IsConnected() && linkState().connection() == connection)
                    dropLinkNow(reason);
            },
            Qt::QueuedConnection);
    }
}
