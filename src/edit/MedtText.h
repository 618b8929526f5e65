#pragma once

#include "edit/MedtTexts.h"
#include "model/core/CkvString.h"

// The CP932 form of one of the program's own texts (written in the source as UTF-8), converted
// on first use and kept for the life of the process. UI thread.
const CkvString& medt_text(const char* utf8);
// The CP932 form of a text of the editor's catalogue in the current language. UI thread.
inline const CkvString& medt_text(medt_msg id) {
    return medt_text(kv_text(id));
}

// printf-style formatting into a CP932 string; `format` is CP932 (its conversions are ASCII).
// Any thread.
CkvString medt_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
