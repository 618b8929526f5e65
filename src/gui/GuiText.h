#pragma once

#include <QString>
#include <initializer_list>
#include <string_view>

#include "gui/GuiTexts.h"
#include "model/core/CkvString.h"

class QWidget;

// The windows show Unicode; the program keeps CP932 bytes. These convert between the two through
// the program's one CP932 converter. Any thread.

// The Unicode form of a CP932 text; empty when it cannot be converted.
QString gui_text(std::string_view cp932);
// The Unicode form of a UTF-8 text written in the source.
QString gui_utf8(const char* utf8);
// The window's text `id` in the language shown now, as it is written in the catalogue.
QString gui_utf8(gui_msg id);
// The window's text `id` with each "%s" replaced by the next of `args`, in order, and "%%" by
// "%". The catalogue keeps the same "%s" in both languages, so the arguments fit either.
QString gui_fill(gui_msg id, std::initializer_list<QString> args);
// The CP932 form of a text typed by the user; empty when it cannot be converted. A character
// CP932 cannot hold becomes '?': check typed names and texts with gui_cp932_accepts first.
CkvString gui_cp932(const QString& text);
// Why a typed text cannot be kept: a message naming its first character that CP932 cannot hold
// (every name and text is stored as CP932); empty when the whole text converts.
QString gui_cp932_refusal(const QString& text);
// True when the typed `text` can be kept as it is; otherwise warns over `parent` with the
// refusal above and returns false, so that the caller keeps what was there. UI thread.
bool gui_cp932_accepts(QWidget* parent, const QString& text);
// A menu label without its mnemonic marker and its shortcut column ("保存(&S)\tF2" -> "保存"),
// for tool-bar buttons.
QString gui_button_text(const CkvString& label);
// A path as people see it: the host path of a Windows-form path (the path itself otherwise).
QString gui_path(const CkvString& windows_path);
// Where a link's file is: its resolved host path; the stored form when it does not resolve.
QString gui_link_path(const class MseqObject* node);
