#include "naming_client.h"

#include "exception_printer.h"

#include <omniORB4/omniORB.h>

int Naming_Client::init(CORBA::ORB_ptr orb, CORBA::ULong timeoutMs)
{
    if (CORBA::is_nil(orb))
        return -1;
    try {
        CORBA::Object_var obj = orb->resolve_initial_references("NameService");
        if (timeoutMs != 0)
            omniORB::setClientCallTimeout(obj, timeoutMs);
        CosNaming::NamingContext_var context = CosNaming::NamingContext::_narrow(obj);
        if (CORBA::is_nil(context))
            return -1;
        if (timeoutMs != 0)
            omniORB::setClientCallTimeout(context, timeoutMs);
        context_ = context._retn();
        return 0;
    } catch (const CORBA::Exception& ex) {
        ExceptionPrinter::print(ex, "Naming_Client::init\n", stdout);
        return -1;
    }
}

CosNaming::NamingContext_ptr Naming_Client::get_context() const
{
    return context_.in();
}

CORBA::Object_ptr Naming_Client::resolve_simple(const char* id)
{
    if (CORBA::is_nil(context_))
        throw CORBA::BAD_INV_ORDER(0, CORBA::COMPLETED_NO);
    return context_->resolve(simple_name(id));
}

CosNaming::Name Naming_Client::simple_name(const char* id)
{
    CosNaming::Name name;
    name.length(1);
    name[0].id = CORBA::string_dup(id);
    name[0].kind = CORBA::string_dup("");
    return name;
}
