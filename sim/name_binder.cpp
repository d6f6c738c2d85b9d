#include "name_binder.h"

#include "naming_client.h"

#include <omniORB4/omniORB.h>

namespace {
const char* const hint = "NameService=corbaloc::127.0.0.1:PORT/NameService";
}

NameBinder::NameBinder(CORBA::ORB_ptr orb, unsigned long callTimeoutMs)
{
    const CORBA::ULong limit = static_cast<CORBA::ULong>(callTimeoutMs);
    CORBA::Object_var object;
    try {
        object = orb->resolve_initial_references("NameService");
    } catch (const CORBA::Exception& ex) {
        // omniORB answers NO_RESOURCES or InvalidName when none is configured.
        throw NamingError(
            std::string("no usable naming service reference (") + ex._name() + "): pass -ORBInitRef " + hint);
    }
    try {
        // Narrowing a corbaloc reference asks the server, so bound it too.
        omniORB::setClientCallTimeout(object.in(), limit);
        root_ = CosNaming::NamingContext::_narrow(object.in());
    } catch (const CORBA::Exception& ex) {
        throw NamingError(std::string("naming service unreachable (") + ex._name() +
            "): is omniNames running at the -ORBInitRef address, e.g. " + hint + "?");
    }
    if (CORBA::is_nil(root_.in()))
        throw NamingError("the NameService reference is not a naming context");
    omniORB::setClientCallTimeout(root_.in(), limit);
}

void NameBinder::rebind(const char* id, CORBA::Object_ptr object)
{
    try {
        root_->rebind(Naming_Client::simple_name(id), object);
    } catch (const CORBA::Exception& ex) {
        throw NamingError(std::string("cannot bind \"") + id + "\" in the naming service: " + ex._name());
    }
}

void NameBinder::unbindIfOurs(const char* id, CORBA::Object_ptr object) noexcept
{
    try {
        const CosNaming::Name name = Naming_Client::simple_name(id);
        CORBA::Object_var bound = root_->resolve(name);
        if (bound->_is_equivalent(object))
            root_->unbind(name);
    } catch (...) {
        // Gone already, or the naming service is: nothing left to undo.
    }
}
