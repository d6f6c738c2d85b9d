#ifndef KOV_CORBA_TRACE_H
#define KOV_CORBA_TRACE_H

#include <QLoggingCategory>

// Debug trace lines of the client ("kov.trace"). Off by default: the
// category's threshold is QtWarningMsg, so nothing is written unless the
// rules enable it, e.g. QT_LOGGING_RULES="kov.trace.debug=true".
Q_DECLARE_LOGGING_CATEGORY(kovTraceCategory)

// Writes one trace line formatted printf-style, so the lines keep their
// formats ("KOV::Message: %s priority: %d\n"). Safe from any thread.
void kovTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Skips the formatting (and the evaluation of the arguments) while the
// category is off.
#define KOV_TRACE(...)                                                                                       \
    do {                                                                                                     \
        if (kovTraceCategory().isDebugEnabled())                                                             \
            kovTrace(__VA_ARGS__);                                                                           \
    } while (0)

#endif
