#ifndef KOV_TESTS_QT_ORB_H
#define KOV_TESTS_QT_ORB_H

// The names the hand-off and decoding tests know the test program's ORB and
// event loop by (see test_orb.h and spin_until.h).
#include "spin_until.h"
#include "test_orb.h"

namespace QtOrb {

inline CORBA::ORB_var orb()
{
    return TestOrb::orb();
}

inline PortableServer::POA_var poa()
{
    return TestOrb::poa();
}

using ::spinUntil;

} // namespace QtOrb

#endif
