#ifndef KOV_TEST_SIM_SIM_FIXTURE_H
#define KOV_TEST_SIM_SIM_FIXTURE_H

#include "naming_service_process.h"
#include "simulator_process.h"
#include "test_orb.h"

#include <event_comm.hh>
#include <kov.hh>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A private naming service and one kovsim (started by start()) per test,
// with the simulator's two objects at hand.
class SimFixture : public testing::Test {
protected:
    void start(const std::vector<std::string>& args = {"--scenario", "none"})
    {
        sim_ = std::make_unique<SimulatorProcess>(names_, args);
    }

    Event_Comm::Notifier_ptr notifier()
    {
        CORBA::Object_var object = TestOrb::resolve(names_, "Notifier");
        return Event_Comm::Notifier::_narrow(object.in());
    }

    KOV::System_ptr system()
    {
        CORBA::Object_var object = TestOrb::resolve(names_, "KOVSYSTEM");
        return KOV::System::_narrow(object.in());
    }

    SimulatorProcess& sim() { return *sim_; }

    NamingServiceProcess names_;
    std::unique_ptr<SimulatorProcess> sim_;
};

#endif
