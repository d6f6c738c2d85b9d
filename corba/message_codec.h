#ifndef KOV_CORBA_MESSAGE_CODEC_H
#define KOV_CORBA_MESSAGE_CODEC_H

#include <kov.hh>

// Moves a KOV::Message in and out of an any without checking the bound of
// its text. The generated any operators refuse a text longer than 128
// characters (MARSHAL), but the instrument may send longer ones and the
// operator must see them whole; the wire form is the same either way.
class MessageCodec {
public:
    // Reads the message held by `value`, which must carry the TypeCode of
    // KOV::Message. Raises CORBA::MARSHAL if the value cannot be read.
    static void decode(const CORBA::Any& value, KOV::Message& message);

    // Replaces the contents of `value` by `message`, with the TypeCode of
    // KOV::Message.
    static void encode(const KOV::Message& message, CORBA::Any& value);
};

#endif
