#pragma once

#include "model/core/CkvString.h"

// How the map views ask the user before they throw content away: a Yes/No question whose text
// is CP932 bytes. The front end that shows the view answers it (a message box, or a scripted
// answer). User-interface thread.
class MedtMapQuestions {
public:
    virtual ~MedtMapQuestions() = default;
    // True for Yes. A front end that cannot ask answers No.
    virtual bool ask_yes_no(const CkvString& text) = 0;
};
