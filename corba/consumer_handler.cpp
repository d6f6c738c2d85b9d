#include "consumer_handler.h"

#include "call_limits.h"
#include "exception_printer.h"
#include "orb_options.h"

#include <ace/Log_Msg.h>

Consumer_Handler::Consumer_Handler(ACE_Thread_Manager* thr_mgr) : ACE_Task<ACE_MT_SYNCH>(thr_mgr), done_(0) {}

Consumer_Handler::~Consumer_Handler()
{
    ACE_DEBUG((LM_DEBUG, "Consumer_Handler::~Consumer_Handler\n"));
    // The ORB loop has ended by now (the thread manager waited for it).
    // Destroying the ORB deactivates the servant before its owner deletes it.
    if (CORBA::is_nil(orb_))
        return;
    try {
        orb_->destroy();
    } catch (const CORBA::Exception&) {}
}

int Consumer_Handler::init(int argc, char* argv[], POA_Event_Comm::Consumer* servant)
{
    // The criteria is the first word as the operator typed it, taken before
    // the ORB removes the options it recognises.
    criteria_ = (argc >= 1 && argv && argv[0]) ? argv[0] : "KOV";
    if (argc == 0)
        argv = nullptr;
    const bool limitGiven = CallLimits::givenOnCommandLine(argc, argv);
    const char* utf8[][2] = {{OrbOptions::charCodeSetParameter, OrbOptions::charCodeSet}, {nullptr, nullptr}};
    const bool codeSetGiven = OrbOptions::given(argc, argv, OrbOptions::charCodeSetOption);

    try {
        orb_ = CORBA::ORB_init(argc, argv, "", codeSetGiven ? nullptr : utf8);
        CallLimits::apply(limitGiven);

        CORBA::Object_var poa_object = orb_->resolve_initial_references("RootPOA");
        PortableServer::POA_var root_poa = PortableServer::POA::_narrow(poa_object);
        PortableServer::POAManager_var poa_manager = root_poa->the_POAManager();
        poa_manager->activate();

        receiver_ = servant->_this();

        if (get_notifier() == -1)
            ACE_ERROR_RETURN((LM_ERROR, " (%P|%t) Unable to get the notifier the TAO_Naming_Client. \n"), -1);

        notifier_->subscribe(receiver_.in(), criteria_.c_str());
        return 0;
    } catch (const Event_Comm::Notifier::CannotSubscribe& ex) {
        ExceptionPrinter::print(ex, "Consumer_Handler::init System Exception", stdout);
        ACE_ERROR((LM_ERROR, "%s\n", ex.reason_.in()));
    } catch (const CORBA::SystemException& ex) {
        ExceptionPrinter::print(ex, "Consumer_Handler::init System Exception", stdout);
    } catch (const CORBA::UserException& ex) {
        ExceptionPrinter::print(ex, "Consumer_Handler::init User Exception", stdout);
    }
    return -1;
}

int Consumer_Handler::get_notifier()
{
    if (naming_client_.init(orb_.in()) != 0)
        ACE_ERROR_RETURN((LM_ERROR, " (%P|%t) Unable to initialize the TAO_Naming_Client. \n"), -1);
    try {
        CORBA::Object_var obj = naming_client_.resolve_simple("Notifier");
        notifier_ = Event_Comm::Notifier::_narrow(obj);
    } catch (const CORBA::Exception& ex) {
        ExceptionPrinter::print(ex, "Consumer_Handler::get_notifier\n", stdout);
        return -1;
    }
    // A "Notifier" that is some other kind of object cannot be subscribed to.
    if (CORBA::is_nil(notifier_))
        ACE_ERROR_RETURN((LM_ERROR, " (%P|%t) \"Notifier\" is not an Event_Comm::Notifier.\n"), -1);
    return 0;
}

int Consumer_Handler::resubscribe()
{
    if (CORBA::is_nil(orb_) || CORBA::is_nil(receiver_))
        return -1;
    // An earlier notifier that still holds this consumer would otherwise
    // deliver every event twice if it is the one found again.
    if (!CORBA::is_nil(notifier_)) {
        try {
            notifier_->unsubscribe(receiver_.in(), criteria_.c_str());
        } catch (const CORBA::Exception&) {
            // Gone, or it has dropped this consumer already.
        }
    }
    if (get_notifier() == -1)
        return -1;
    try {
        notifier_->subscribe(receiver_.in(), criteria_.c_str());
        return 0;
    } catch (const Event_Comm::Notifier::CannotSubscribe& ex) {
        ExceptionPrinter::print(ex, "Consumer_Handler::resubscribe User Exception", stdout);
        ACE_ERROR((LM_ERROR, "%s\n", ex.reason_.in()));
    } catch (const CORBA::Exception& ex) {
        ExceptionPrinter::print(ex, "Consumer_Handler::resubscribe\n", stdout);
    }
    return -1;
}

int Consumer_Handler::close(int flag)
{
    if (flag == 0)
        return 0;
    // After a failed start there may be no notifier to leave, or no ORB.
    if (!CORBA::is_nil(notifier_.in())) {
        try {
            notifier_->unsubscribe(receiver_.in(), criteria_.c_str());
        } catch (const CORBA::Exception& ex) {
            ExceptionPrinter::print(ex, "Consumer_Handler::close\n", stdout);
        }
    }
    if (CORBA::is_nil(orb_.in()))
        return 0;
    try {
        orb_->shutdown(0);
    } catch (const CORBA::Exception&) {
        // Already shut down: nothing runs to stop.
    }
    return 0;
}

int Consumer_Handler::svc()
{
    ACE_DEBUG((LM_DEBUG, "Running the Consumer...\n"));
    done_ = 0;
    try {
        orb_->run();
    } catch (const CORBA::Exception&) {}
    done_ = 1;
    return 0;
}

int Consumer_Handler::done() const
{
    return done_;
}

CORBA::ORB_ptr Consumer_Handler::orb() const
{
    return orb_.in();
}

const char* Consumer_Handler::criteria() const
{
    return criteria_.c_str();
}
