#ifndef KOV_TESTS_QT_ORB_H
#define KOV_TESTS_QT_ORB_H

#include <omniORB4/CORBA.h>

#include <chrono>
#include <functional>

// Set up by qt_orb_main.cpp: a QCoreApplication on the main thread (the
// GUI thread of these tests) and an ORB listening on loopback only, its
// root POA active. omniORB serves requests on threads of its own.
namespace QtOrb {

CORBA::ORB_ptr orb();
PortableServer::POA_ptr poa();

// Runs the main thread's event loop until `done` is true or `limit`
// passes; answers `done ()`.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10));

} // namespace QtOrb

#endif
