#ifndef KOV_CORBA_CONSUMER_H
#define KOV_CORBA_CONSUMER_H

#include "consumer_handler.h"

#include <ace/Thread_Manager.h>

#include <atomic>

// Event reception as the application sees it: initialisation with a
// progress status, the ORB thread, and the end of reception.
class Consumer {
public:
    enum Status {
        NOT_STARTED = 0,
        IN_PROGRESS = 1,
        COMPLETE = 2,
        FAILED = 3
    };

    Consumer();
    virtual ~Consumer();

    Consumer(const Consumer&) = delete;
    Consumer& operator=(const Consumer&) = delete;

    int init(int argc, char* argv[], POA_Event_Comm::Consumer* servant);

    // Starts the one ORB thread; -1 when it cannot be started.
    int run();

    // Subscribes again (Consumer_Handler::resubscribe); 0 or -1.
    int resubscribe();

    virtual void close(int flag);

    int status() const;
    int done() const;

    // The ORB set up by init (not duplicated); nil before that.
    CORBA::ORB_ptr orb() const;

private:
    std::atomic<int> status_;
    Consumer_Handler handler_;
    // Declared after the handler so that it is destroyed first: its
    // destructor waits for the ORB thread, which still uses the handler.
    ACE_Thread_Manager thr_mgr_;
};

#endif
