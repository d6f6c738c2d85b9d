#include "test_orb.h"

#include "naming_service_process.h"

#include <omniORB4/omniORB.h>

#include <string>
#include <vector>

namespace {
CORBA::ORB_var theOrb;
PortableServer::POA_var thePoa;
} // namespace

void TestOrb::init(int& argc, char** argv)
{
    std::vector<std::string> words(argv, argv + argc);
    words.insert(words.end(),
        {"-ORBendPoint", "giop:tcp:127.0.0.1:", "-ORBclientCallTimeOutPeriod", std::to_string(callLimitMs),
            "-ORBnativeCharCodeSet", "UTF-8"});
    std::vector<char*> pointers;
    for (std::string& w : words)
        pointers.push_back(&w[0]);
    pointers.push_back(nullptr);
    int count = static_cast<int>(words.size());
    theOrb = CORBA::ORB_init(count, pointers.data());
    CORBA::Object_var object = theOrb->resolve_initial_references("RootPOA");
    thePoa = PortableServer::POA::_narrow(object.in());
    PortableServer::POAManager_var manager = thePoa->the_POAManager();
    manager->activate();
}

void TestOrb::destroy()
{
    thePoa = PortableServer::POA::_nil();
    theOrb->destroy();
    theOrb = CORBA::ORB::_nil();
}

CORBA::ORB_ptr TestOrb::orb()
{
    return theOrb.in();
}

PortableServer::POA_ptr TestOrb::poa()
{
    return thePoa.in();
}

CORBA::Object_ptr TestOrb::resolve(const NamingServiceProcess& naming, const char* id)
{
    CORBA::Object_var object = theOrb->string_to_object(naming.corbaloc().c_str());
    CosNaming::NamingContext_var root = CosNaming::NamingContext::_narrow(object.in());
    CosNaming::Name name;
    name.length(1);
    name[0].id = CORBA::string_dup(id);
    name[0].kind = CORBA::string_dup("");
    return root->resolve(name);
}
