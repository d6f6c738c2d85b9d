#ifndef KOV_TEST_SIM_TEST_ORB_H
#define KOV_TEST_SIM_TEST_ORB_H

#include <omniORB4/CORBA.h>
#include <omniORB4/Naming.hh>

#include <string>

class NamingServiceProcess;

// The test program's ORB: listens on 127.0.0.1 only, every outgoing call
// limited to a few seconds, texts in UTF-8, root POA active. Set up by
// sim_test_main.
class TestOrb {
public:
    static void init(int& argc, char** argv);
    static void destroy();

    static CORBA::ORB_ptr orb();
    static PortableServer::POA_ptr poa();

    // The object bound under `id` (empty kind) in the root context of
    // `naming`; raises the naming service's exceptions (NotFound ...).
    static CORBA::Object_ptr resolve(const NamingServiceProcess& naming, const char* id);

    // Limit of every call the tests make.
    static constexpr unsigned long callLimitMs = 5000;
};

#endif
