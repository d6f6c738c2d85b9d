#ifndef KOV_CORBA_EXCEPTION_PRINTER_H
#define KOV_CORBA_EXCEPTION_PRINTER_H

#include <cstdio>
#include <omniORB4/CORBA.h>

// Writes a caught CORBA exception after a context text: the exception's name
// and repository id, and for system exceptions the minor code and the
// completion status.
class ExceptionPrinter {
public:
    static void print(const CORBA::Exception& ex, const char* context, FILE* stream);
};

#endif
