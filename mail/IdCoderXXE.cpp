#include "IdCoderXXE.h"

namespace {

const TIdDecodeTable& XxeTable()
{
    static const TIdDecodeTable table =
        MakeDecodeTable("+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return table;
}

} // namespace

TIdDecoderXXE::TIdDecoderXXE() : TIdDecoderUUEBase(XxeTable(), '+') {}
