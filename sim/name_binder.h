#ifndef KOVSIM_NAME_BINDER_H
#define KOVSIM_NAME_BINDER_H

#include <omniORB4/CORBA.h>
#include <omniORB4/Naming.hh>

#include <stdexcept>
#include <string>

// A naming-service problem that stops the simulator from starting.
class NamingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Binds the simulator's objects in the root context of the naming service
// given by the "NameService" initial reference. Every call to the naming
// service is bounded by the call time limit.
class NameBinder {
public:
    // Throws NamingError when no naming service is configured or it does not
    // answer as a naming context.
    NameBinder(CORBA::ORB_ptr orb, unsigned long callTimeoutMs);

    // Binds `object` under the one-component name `id` (empty kind),
    // replacing an earlier binding. Throws NamingError.
    void rebind(const char* id, CORBA::Object_ptr object);

    // Removes the binding of `id` if it still refers to `object` (another
    // simulator may have taken the name over since). Never throws.
    void unbindIfOurs(const char* id, CORBA::Object_ptr object) noexcept;

private:
    CosNaming::NamingContext_var root_;
};

#endif
