#pragma once
// Xxencoded lines: the uuencode line format with the alphabet "+-0-9A-Za-z".

#include "IdCoderUUE.h"

class TIdDecoderXXE : public TIdDecoderUUEBase {
public:
    TIdDecoderXXE();
};
