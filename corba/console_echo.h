#ifndef KOV_CORBA_CONSOLE_ECHO_H
#define KOV_CORBA_CONSOLE_ECHO_H

// Echo of message texts on standard output, gated by the process-wide
// diagnostic level. The level is fixed at 1; a gated line is written only
// when the level lies between 1 and 4.
class ConsoleEcho {
public:
    static constexpr int diagnosticLevel = 1;

    // True when lines gated at `level` are written.
    static constexpr bool writesAt(int level) { return level >= 1 && level <= 4; }

    // Writes "%s\n" with `text` to standard output when the diagnostic level
    // lets it through. A null text writes nothing.
    static void echo(const char* text);
};

#endif
