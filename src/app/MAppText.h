#pragma once

#include <string>

#include "app/MAppTexts.h"
#include "model/core/CkvString.h"

// The application's own texts are written in the source as UTF-8 and shown as CP932.
// Any thread.

// The CP932 form of a UTF-8 text; empty when it cannot be converted.
CkvString mapp_text(const char* utf8);
// The CP932 form of a UTF-8 printf format, filled with CP932 arguments (%s) and numbers.
CkvString mapp_format(const char* utf8, ...) __attribute__((format(printf, 1, 2)));
// The same for a text of the catalogue, in the current language. Both languages of a format
// have the same conversions (the catalogue's check), so the arguments fit either.
CkvString mapp_text(mapp_msg id);
CkvString mapp_format(mapp_msg id, ...);
// A UTF-8 printf format filled with UTF-8 arguments, for texts built before they are shown.
std::string mapp_utf8_format(const char* utf8, ...) __attribute__((format(printf, 1, 2)));
// The text without leading and trailing half- and full-width spaces (CP932).
CkvString mapp_trim_blanks(const CkvString& s);
