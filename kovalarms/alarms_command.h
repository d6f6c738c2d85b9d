#pragma once

#include "alarms_options.h"

#include <ostream>

namespace AlarmsTool {

// What kovalarms does once its command line is read: `list` prints the
// points and the service; an action is queued, then waited for (at most
// options.waitSeconds) until the alarm service has applied it. Results go
// to `out`, failures to `err`; answers the exit status. Needs a
// QCoreApplication (the wait turns its event loop).
Status run(const AlarmsOptions& options, std::ostream& out, std::ostream& err);

} // namespace AlarmsTool
