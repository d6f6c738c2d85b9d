#ifndef KOV_CORBA_ORB_OPTIONS_H
#define KOV_CORBA_ORB_OPTIONS_H

// The ORB options the client sets itself unless its command line does.
class OrbOptions {
public:
    // Texts cross the wire as the instrument wrote them only when both ends
    // agree on a code set that holds every character: omniORB's default,
    // ISO-8859-1, turns a UTF-8 peer's "°" into Latin-1 bytes and "Ω" into "?".
    static constexpr const char* charCodeSetOption = "-ORBnativeCharCodeSet";
    static constexpr const char* charCodeSetParameter = "nativeCharCodeSet";
    static constexpr const char* charCodeSet = "UTF-8";

    // True when one of the words is `option` itself.
    static bool given(int argc, char* const* argv, const char* option);
};

#endif
