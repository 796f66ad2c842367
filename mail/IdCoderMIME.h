#pragma once
// Base64 lines of the standard alphabet, "=" for padding.

#include "IdCoder3to4.h"

class TIdDecoderMIME : public TIdDecoder4to3 {
public:
    TIdDecoderMIME();
};
