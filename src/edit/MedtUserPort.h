#pragma once

#include "model/core/CkvString.h"

// The answers to the questions the editor asks.
enum class MedtAnswer { Yes, No, Cancel };

// How the editing layer reaches the user: message boxes and questions, texts in CP932. The
// application's front ends implement it (real message boxes in the desktop program, an answer
// queue in `korvante script`). User-interface thread only.
class MedtUserPort {
public:
    virtual ~MedtUserPort() = default;
    // A warning (exclamation icon, OK).
    virtual void warn(const CkvString& text) = 0;
    // An information box (OK).
    virtual void inform(const CkvString& text) = 0;
    // A Yes/No question; true for Yes. A port that cannot ask answers No.
    virtual bool ask_yes_no(const CkvString& text) = 0;
    // A Yes/No/Cancel question whose default button is `preset`; a port that cannot ask
    // answers Cancel.
    virtual MedtAnswer ask_yes_no_cancel(const CkvString& text, MedtAnswer preset) = 0;
    // A short status-bar message (the undo notice); nothing by default.
    virtual void status(const CkvString& text) { (void)text; }
};
