#pragma once

#include <string>

#include "model/core/CkvString.h"
#include "model/core/MseqFileStore.h"
#include "platform/FileSystem.h"

// The lines the application adds to its messages so that each one names the file and the
// reason, in the words the command-line tools use. Every result is CP932 (the reasons are
// plain ASCII, so the same bytes serve the terminal). Any thread.

// A path as people see it: the host path of a Windows-form path on drive Z:, else the path.
CkvString mapp_shown_path(const CkvString& windows_path);
// A path as people type it: a host path (starting with "/", CP932) becomes its Windows form;
// anything else (a Windows-form path, an empty field) stays as it is.
CkvString mapp_entered_path(const CkvString& typed);
// `name` appended to the folder `folder` in the folder's own form: "/" after a host path, "\"
// after a Windows-form one.
CkvString mapp_shown_append(const CkvString& folder, const CkvString& name);

// Why a load gave no content: "no such file", "the file is empty", "error 0x10003 (the file
// cannot be read): not a regular file", "error 24 (...) at line 3, column 9", with a hint when
// the text looks like UTF-8 or starts with a byte-order mark.
std::string mapp_problem_reason(const MseqLoadProblem& problem);

// "\n\nファイル : PATH\n理由 : REASON" for a load's problem; empty when nothing was reported.
CkvString mapp_problem_lines(const MseqLoadProblem& problem);

// The same lines for the file `windows_path` and the reason `reason` (CP932).
CkvString mapp_reason_lines(const CkvString& windows_path, const CkvString& reason);

// "ファイル : PATH\n理由 : REASON" for a file that could not be written; the reason is the
// system's ("permission denied", "read-only file system", "no space left on device", ...), or
// "the file could not be written" when the system gave none.
CkvString mapp_save_lines(const CkvString& windows_path, const kv_fs::file_error& why);

class MseqObject;

// The other node of the library below `top` whose file is `path`, the file `node` names (the
// library itself, a book, another leaf); null when no other node has it. One file belongs to
// one node, so such a node gets no content of its own although its file is there: "no such
// file" would be untrue. UI thread.
MseqObject* mapp_file_owner(MseqObject* top, const MseqObject* node, const MseqFullPath& path);
// What is wrong with `node`'s path when `mapp_file_owner` finds one (CP932): "its path "P"
// names the library file itself, not a file of its own", "... names the file of its own book
// "B", ..."; empty otherwise.
CkvString mapp_shared_file_reason(MseqObject* top, MseqObject* node, const MseqFullPath& path);
