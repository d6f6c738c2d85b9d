#ifndef KOV_TESTS_TEST_ORB_H
#define KOV_TESTS_TEST_ORB_H

#include "naming_service_process.h"

#include <omniORB4/CORBA.h>
#include <omniORB4/Naming.hh>

#include <string>

// The test program's ORB, made by the test main (orb_main.cpp) for the whole
// program: it listens on 127.0.0.1 only, limits every outgoing call, takes
// texts as UTF-8, and its root POA is active. omniORB serves the tests'
// servants on threads of its own.
class TestOrb {
public:
    // ORB_init with the program's words (what gtest and Qt left, so -ORB...
    // options reach it), adding the settings above that they do not give.
    TestOrb(int argc, char** argv);
    ~TestOrb();

    TestOrb(const TestOrb&) = delete;
    TestOrb& operator=(const TestOrb&) = delete;

    // The ORB and its root POA while a TestOrb lives. omniORB holds them for
    // the process; these are new references.
    static CORBA::ORB_var orb();
    static PortableServer::POA_var poa();

    // The object bound under `id` (empty kind) in the root context of the
    // naming service at `corbaloc`; raises the naming service's exceptions
    // (NotFound ...).
    static CORBA::Object_ptr resolve(const std::string& corbaloc, const char* id);
    static CORBA::Object_ptr resolve(const NamingServiceProcess& naming, const char* id)
    {
        return resolve(naming.corbaloc(), id);
    }

    // Limit of every call the tests make.
    static constexpr unsigned long callLimitMs = 5000;

private:
    CORBA::ORB_var orb_;
};

#endif
