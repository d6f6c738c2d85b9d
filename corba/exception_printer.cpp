#include "exception_printer.h"

#include <cstring>

namespace {

const char* completionText(CORBA::CompletionStatus status)
{
    switch (status) {
    case CORBA::COMPLETED_YES:
        return "YES";
    case CORBA::COMPLETED_NO:
        return "NO";
    default:
        return "MAYBE";
    }
}

} // namespace

void ExceptionPrinter::print(const CORBA::Exception& ex, const char* context, FILE* stream)
{
    const char* text = context ? context : "";
    const size_t length = std::strlen(text);
    // Contexts come with and without a line end; keep the exception on a line
    // of its own either way.
    std::fprintf(stream, "%s%s", text, (length && text[length - 1] == '\n') ? "" : "\n");
    std::fprintf(stream, "  EXCEPTION %s (%s)", ex._name(), ex._rep_id());

    if (const CORBA::SystemException* sys = CORBA::SystemException::_downcast(&ex)) {
        const char* minorName = sys->NP_minorString();
        std::fprintf(stream, ", minor code 0x%lx%s%s%s, completed %s",
            static_cast<unsigned long>(sys->minor()), minorName ? " (" : "", minorName ? minorName : "",
            minorName ? ")" : "", completionText(sys->completed()));
    }
    std::fprintf(stream, "\n");
    std::fflush(stream);
}
