#ifndef KOV_CORBA_KOVINTERFACE_CLIENT_H
#define KOV_CORBA_KOVINTERFACE_CLIENT_H

#include "naming_client.h"

#include <kov.hh>

// The client's handle on the instrument's control object "KOVSYSTEM".
class KOVInterface_Client {
public:
    KOVInterface_Client() = default;
    virtual ~KOVInterface_Client() = default;

    KOVInterface_Client(const KOVInterface_Client&) = delete;
    KOVInterface_Client& operator=(const KOVInterface_Client&) = delete;

    // Looks "KOVSYSTEM" up anew. 0 on success (the reference is replaced);
    // -1 on failure, the earlier reference kept.
    int init(CORBA::ORB_ptr orb);

    // Tells the instrument that this client lets go. 0, or -1 when the call
    // could not be made (no reference, target gone); never reports.
    int shutdown();

    // The instrument's reference (not duplicated); may be nil.
    KOV::System_ptr system() const;

private:
    KOV::System_var system_;
    Naming_Client naming_client_;
};

#endif
