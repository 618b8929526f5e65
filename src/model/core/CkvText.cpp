#include "model/core/CkvText.h"

#include "platform/TextCodec.h"

CkvString ckv_from_utf8(std::string_view utf8) {
    return CkvString(kv_codec::cp932_from_utf8(utf8));
}

std::string ckv_to_utf8(std::string_view cp932) {
    return kv_codec::utf8_from_cp932(cp932);
}
