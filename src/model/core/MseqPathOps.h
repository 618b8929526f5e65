#pragma once

#include <string_view>

#include "model/core/CkvString.h"
#include "model/core/MseqPath.h"

class MseqObject;

// The kinds of a descriptive path, in the order they are recognised.
enum MseqPathKind : int {
    MPK_NONE = 0,      // empty: no content file
    MPK_ABSOLUTE = 1,  // an absolute path
    MPK_WITH = 2,      // "<with>": stored inside the container's file
    MPK_PROG = 3,      // "<prog>": relative to the application folder
    MPK_ROOM = 4,      // "<room>": relative to the library file (books)
    MPK_BOOK = 5,      // "<book>": relative to the book file (leaves)
};

// Windows-form path rules on CP932 byte strings: macros, resolution, relative forms and name
// checks. Paths keep these rules on every platform so that libraries move between machines
// unchanged; only the file-system boundary maps them to the host. User-interface thread only,
// except where noted.
namespace mseq_path {

inline constexpr std::string_view kProg = "<prog>";
inline constexpr std::string_view kRoom = "<room>";
inline constexpr std::string_view kBook = "<book>";
inline constexpr std::string_view kWith = "<with>";
inline constexpr size_t kMaxPath = 260;

// Sets the application's executable file (a Windows-form absolute path); the "<prog>" macro and
// executable_path() count from its folder. Set once at start-up.
void set_program_file(const CkvString& path);
const CkvString& program_file();

// True when `path` starts with `macro` exactly and the next byte is not a path separator
// ("\", "/" or ":"); `rest` then receives what follows the macro. Any thread.
bool has_macro(std::string_view path, std::string_view macro, std::string_view* rest = nullptr);

// The kind of a descriptive path. Any thread.
int kind_of(std::string_view path);

// True for "\" and "/". Any thread.
bool is_separator(char c);

// True for a drive form ("C:\...", at least 4 bytes) or a network form ("\\...", at least 3
// bytes) whose later bytes are all valid path characters with no further ":". Any thread.
bool valid_absolute(std::string_view path);

// True when `path` is a drive or network form (without checking the rest). Any thread.
bool is_absolute(std::string_view path);

// Removes "." and ".." components; ".." never climbs above the root. Any thread.
CkvString canonicalize(std::string_view path);

// The path without its last component (and without the separator before it); the root of a
// drive keeps its backslash. Any thread.
CkvString remove_file_name(std::string_view path);

// `dir` and `rest` joined by exactly one backslash. Any thread.
CkvString append(std::string_view dir, std::string_view rest);

// The relative path from the file `from` to the file `to`, starting with ".\" or "..\".
// False when they lie on different drives or either is not absolute. Any thread.
bool relative_between(std::string_view from, std::string_view to, CkvString* out);

// The application folder plus a relative `rest`, or an absolute `rest` unchanged. False when
// the combined length plus one exceeds 260 bytes or no program file is set.
bool executable_path(std::string_view rest, MseqFullPath* out);

// Resolves a descriptive path in the place of `node` (whose ancestors give "<book>" and
// "<room>") to a canonical absolute path; with `dir_only` its folder. False for "<with>", an
// empty path, a macro the node's kind cannot use, or an invalid result.
bool resolve(std::string_view path, const MseqObject* node, bool dir_only, MseqFullPath* out);

// Resolves the node's own descriptive path.
bool resolve(const MseqObject* node, bool dir_only, MseqFullPath* out);

// Switches the node's descriptive path to `kind`; with `apply` false only tells whether the
// switch is possible. Folders refuse every switch; the node keeps its path on failure.
bool set_kind(MseqObject* node, int kind, bool apply);

// Stores the node's path relative to the library file, else the book file, else the
// application folder, whichever works first. False (path unchanged) when none does.
bool make_relative(MseqObject* node);

// The file name without folder and extension; false for paths of 260 bytes or more.
// Any thread.
bool name_from_file_path(std::string_view path, CkvString* out);

// True for a usable node or file name: not empty, none of \ / : * ? " < > | or control bytes,
// no leading or trailing half- or full-width space. Any thread.
bool valid_name(std::string_view name);

}  // namespace mseq_path
