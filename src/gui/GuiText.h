#pragma once

#include <QString>
#include <string_view>

#include "model/core/CkvString.h"

// The windows show Unicode; the program keeps CP932 bytes. These convert between the two through
// the program's one CP932 converter. Any thread.

// The Unicode form of a CP932 text; empty when it cannot be converted.
QString gui_text(std::string_view cp932);
// The Unicode form of a UTF-8 text written in the source.
QString gui_utf8(const char* utf8);
// The CP932 form of a text typed by the user; empty when it cannot be converted.
CkvString gui_cp932(const QString& text);
// A menu label without its mnemonic marker and its shortcut column ("保存(&S)\tF2" -> "保存"),
// for tool-bar buttons.
QString gui_button_text(const CkvString& label);
// A path as people see it: the host path of a Windows-form path (the path itself otherwise).
QString gui_path(const CkvString& windows_path);
// Where a link's file is: its resolved host path; the stored form when it does not resolve.
QString gui_link_path(const class MseqObject* node);
