#include "kovinterface_client.h"

#include "exception_printer.h"

#include <ace/Log_Msg.h>

int KOVInterface_Client::init(CORBA::ORB_ptr orb)
{
    CORBA::ORB_var own_orb = CORBA::ORB::_duplicate(orb);

    if (naming_client_.init(own_orb.in()) != 0)
        ACE_ERROR_RETURN((LM_ERROR, " (%P|%t) Unable to initialize the TAO_Naming_Client. \n"), -1);

    try {
        CORBA::Object_var obj = naming_client_.resolve_simple("KOVSYSTEM");
        // Something other than a KOV::System narrows to nil; users of
        // system() check for that.
        system_ = KOV::System::_narrow(obj);
    } catch (const CORBA::Exception& ex) {
        ExceptionPrinter::print(ex, "KOVInterface_Client::init\n", stdout);
        return -1;
    }
    return 0;
}

int KOVInterface_Client::shutdown()
{
    if (CORBA::is_nil(system_))
        return -1;
    try {
        system_->disconnect("client interface shutdown.");
        return 0;
    } catch (const CORBA::Exception&) {
        return -1;
    }
}

KOV::System_ptr KOVInterface_Client::system() const
{
    return system_.in();
}
