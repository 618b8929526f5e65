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

// "ファイル : PATH\n理由 : REASON" for a file that could not be written; the reason is the
// system's ("permission denied", "read-only file system", "no space left on device", ...), or
// "the file could not be written" when the system gave none.
CkvString mapp_save_lines(const CkvString& windows_path, const kv_fs::file_error& why);
