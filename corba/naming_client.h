#ifndef KOV_CORBA_NAMING_CLIENT_H
#define KOV_CORBA_NAMING_CLIENT_H

#include <omniORB4/CORBA.h>
#include <omniORB4/Naming.hh>

// Client of the naming service: finds the "NameService" initial reference of
// an ORB and hands out its root context.
class Naming_Client {
public:
    Naming_Client() = default;
    Naming_Client(const Naming_Client&) = delete;
    Naming_Client& operator=(const Naming_Client&) = delete;

    // Resolves "NameService" and checks that it is a naming context. A
    // non-zero `timeoutMs` bounds every call made through the root context.
    // Answers 0, or -1 when the naming service cannot be reached or is not one
    // (the reason is printed to standard output). May be called again.
    int init(CORBA::ORB_ptr orb, CORBA::ULong timeoutMs = 0);

    // The root context found by the last successful init (not duplicated); nil
    // before that.
    CosNaming::NamingContext_ptr get_context() const;

    // Looks up a one-component name with an empty kind in the root context.
    CORBA::Object_ptr resolve_simple(const char* id);

    // The one-component name `id` with an empty kind.
    static CosNaming::Name simple_name(const char* id);

private:
    CosNaming::NamingContext_var context_;
};

#endif
