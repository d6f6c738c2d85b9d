#include "test_orb.h"

#include "args.h"

#include <algorithm>
#include <vector>

namespace {
void addUnlessGiven(std::vector<std::string>& words, const std::string& option, const std::string& value)
{
    if (std::find(words.begin(), words.end(), option) != words.end())
        return;
    words.push_back(option);
    words.push_back(value);
}
} // namespace

TestOrb::TestOrb(int argc, char** argv)
{
    std::vector<std::string> words(argv, argv + argc);
    addUnlessGiven(words, "-ORBendPoint", "giop:tcp:127.0.0.1:");
    addUnlessGiven(words, "-ORBclientCallTimeOutPeriod", std::to_string(callLimitMs));
    addUnlessGiven(words, "-ORBnativeCharCodeSet", "UTF-8");
    Args args(std::move(words));
    int count = args.argc();
    orb_ = CORBA::ORB_init(count, args.argv());
    PortableServer::POAManager_var manager = poa()->the_POAManager();
    manager->activate();
}

TestOrb::~TestOrb()
{
    orb_->destroy();
}

CORBA::ORB_var TestOrb::orb()
{
    // Once the ORB exists, ORB_init answers it.
    int none = 0;
    return CORBA::ORB_init(none, nullptr);
}

PortableServer::POA_var TestOrb::poa()
{
    CORBA::Object_var object = orb()->resolve_initial_references("RootPOA");
    return PortableServer::POA::_narrow(object.in());
}

CORBA::Object_ptr TestOrb::resolve(const std::string& corbaloc, const char* id)
{
    CORBA::Object_var object = orb()->string_to_object(corbaloc.c_str());
    CosNaming::NamingContext_var root = CosNaming::NamingContext::_narrow(object.in());
    CosNaming::Name name;
    name.length(1);
    name[0].id = CORBA::string_dup(id);
    name[0].kind = CORBA::string_dup("");
    return root->resolve(name);
}
