#include "consumer.h"

#include <ace/Log_Msg.h>

Consumer::Consumer() : status_(NOT_STARTED), handler_(&thr_mgr_), thr_mgr_(0, 1, 1, 25000) {}

Consumer::~Consumer()
{
    ACE_DEBUG((LM_DEBUG, "Consumer::~Consumer\n"));
}

int Consumer::init(int argc, char* argv[], POA_Event_Comm::Consumer* servant)
{
    status_ = IN_PROGRESS;
    if (handler_.init(argc, argv, servant) == -1) {
        status_ = FAILED;
        ACE_ERROR_RETURN((LM_ERROR, "%p\n", "Consumer_Handler failed to initialize\n"), -1);
    }
    status_ = COMPLETE;
    return 0;
}

int Consumer::run()
{
    return handler_.activate(0, 1, 0, 0, -1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

int Consumer::resubscribe()
{
    return handler_.resubscribe();
}

void Consumer::close(int flag)
{
    handler_.close(flag);
}

int Consumer::status() const
{
    return status_;
}

int Consumer::done() const
{
    return handler_.done();
}

CORBA::ORB_ptr Consumer::orb() const
{
    return handler_.orb();
}
