#pragma once

#include <string_view>

#include "model/core/CkvString.h"

class MseqMusic;

// Expands the title macros of a music's `m_Title` or `m_Copyright`: "%<entity>" becomes the
// music's name, "%<book>" the name of the book holding it (names compared without regard to
// case; any other name gives nothing), "%%" one percent sign. Returns false when a lone "%" or
// an unterminated "%<" was met; the text is still expanded as far as it could be, the rest kept
// unchanged. User-interface thread.
bool mseq_expand_title(std::string_view text, const MseqMusic& music, CkvString* out);
