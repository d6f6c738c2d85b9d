#ifndef KOV_CORBA_CONSUMER_HANDLER_H
#define KOV_CORBA_CONSUMER_HANDLER_H

#include "naming_client.h"

#include <event_comm.hh>

#include <ace/Task.h>

#include <atomic>
#include <string>

// The CORBA side of event reception: sets up the ORB and the root POA,
// subscribes the consumer servant to the "Notifier" and runs the ORB loop on
// the task's one thread.
class Consumer_Handler : public ACE_Task<ACE_MT_SYNCH> {
public:
    explicit Consumer_Handler(ACE_Thread_Manager* thr_mgr);
    ~Consumer_Handler() override;

    Consumer_Handler(const Consumer_Handler&) = delete;
    Consumer_Handler& operator=(const Consumer_Handler&) = delete;

    // GUI thread: ORB, POA, servant activation, notifier look-up and
    // subscription. 0 on success, -1 on failure (already reported).
    int init(int argc, char* argv[], POA_Event_Comm::Consumer* servant);

    // Finds the notifier through the naming service; called by init.
    int get_notifier();

    // Subscribes again to the "Notifier" the naming service names now, after
    // leaving any earlier subscription; the ORB and its thread stay as they
    // are. For a reconnect after the notifier dropped this consumer or the
    // instrument side was restarted. 0, or -1 (reported).
    int resubscribe();

    // flag 0 leaves everything running; otherwise unsubscribes and shuts the
    // ORB down (also when the unsubscription fails), which ends svc.
    int close(int flag);

    // The ORB thread's body.
    int svc() override;

    // 1 once the ORB loop has returned; polled by the GUI thread.
    int done() const;

    // The ORB set up by init (not duplicated); nil before that.
    CORBA::ORB_ptr orb() const;

    const char* criteria() const;

private:
    CORBA::ORB_var orb_;
    Event_Comm::Consumer_var receiver_;
    Event_Comm::Notifier_var notifier_;
    Naming_Client naming_client_;
    std::string criteria_;
    std::atomic<int> done_;
};

#endif
