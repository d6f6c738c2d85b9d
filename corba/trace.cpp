#include "trace.h"

#include <QString>
#include <cstdarg>

Q_LOGGING_CATEGORY(kovTraceCategory, "kov.trace", QtWarningMsg)

void kovTrace(const char* format, ...)
{
    if (!kovTraceCategory().isDebugEnabled())
        return;
    va_list args;
    va_start(args, format);
    const QString line = QString::vasprintf(format, args);
    va_end(args);
    qCDebug(kovTraceCategory).noquote() << line;
}
