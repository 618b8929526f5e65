#include "model/core/MseqPathOps.h"

#include <vector>

#include "model/core/MseqObject.h"

namespace mseq_path {

namespace {

CkvString& program_file_storage() {
    static CkvString path;
    return path;
}

// Splits a path into its components at backslashes, stepping over double-byte characters
// whose trail byte is a backslash.
std::vector<std::string_view> split(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < path.size();) {
        size_t n = kv_char_length(path, i);
        if (n == 1 && path[i] == '\\') {
            parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
        i += n;
    }
    parts.push_back(path.substr(start));
    return parts;
}

// The length of the root of an absolute path: "C:\" (3) or "\\" (2); 0 for a relative path.
size_t root_length(std::string_view path) {
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return 3;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return 2;
    return 0;
}

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool invalid_path_byte(unsigned char c) {
    return c < 0x20 || c == '"' || c == '<' || c == '>' || c == '|' || c == '*' || c == '?';
}

bool equal_nocase(std::string_view a, std::string_view b) {
    return CkvString::compare_nocase(a, b) == 0;
}

// The position of the last backslash or slash standing as a character of its own, or npos.
size_t last_separator(std::string_view path) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < path.size();) {
        size_t n = kv_char_length(path, i);
        if (n == 1 && is_separator(path[i])) found = i;
        i += n;
    }
    return found;
}

bool fits(const CkvString& path) {
    return path.size() < kMaxPath;
}

bool relative_to_macro(std::string_view macro, const MseqObject* base, const MseqFullPath& target,
                       CkvString* out) {
    MseqFullPath base_file;
    if (!base || !resolve(base, false, &base_file)) return false;
    CkvString rel;
    if (!relative_between(base_file, target, &rel)) return false;
    *out = CkvString(std::string(macro) + rel);
    return true;
}

}  // namespace

void set_program_file(const CkvString& path) {
    program_file_storage() = path;
}

const CkvString& program_file() {
    return program_file_storage();
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool has_macro(std::string_view path, std::string_view macro, std::string_view* rest) {
    if (path.substr(0, macro.size()) != macro) return false;
    std::string_view after = path.substr(macro.size());
    if (!after.empty() && (is_separator(after[0]) || after[0] == ':')) return false;
    if (rest) *rest = after;
    return true;
}

int kind_of(std::string_view path) {
    if (has_macro(path, kBook)) return MPK_BOOK;
    if (has_macro(path, kRoom)) return MPK_ROOM;
    if (has_macro(path, kProg)) return MPK_PROG;
    if (equal_nocase(path, kWith)) return MPK_WITH;
    if (path.empty()) return MPK_NONE;
    return MPK_ABSOLUTE;
}

bool is_absolute(std::string_view path) {
    if (path.size() >= 4 && is_letter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
    return path.size() >= 3 && path[0] == '\\' && path[1] == '\\';
}

bool valid_absolute(std::string_view path) {
    size_t start;
    if (path.size() >= 4 && is_letter(path[0]) && path[1] == ':' && path[2] == '\\') {
        start = 3;
    } else if (path.size() >= 3 && path[0] == '\\' && path[1] == '\\') {
        start = 2;
    } else {
        return false;
    }
    for (size_t i = start; i < path.size();) {
        size_t n = kv_char_length(path, i);
        if (n == 1) {
            auto c = static_cast<unsigned char>(path[i]);
            if (c == ':' || invalid_path_byte(c)) return false;
        }
        i += n;
    }
    return true;
}

CkvString canonicalize(std::string_view path) {
    const size_t root = root_length(path);
    const bool trailing =
        path.size() > root && path.back() == '\\' && last_separator(path) == path.size() - 1;
    std::vector<std::string_view> kept;
    // A network path's server and share belong to its root: ".." never climbs above them.
    const size_t fixed = root == 2 ? 2 : 0;
    for (std::string_view part : split(path.substr(root))) {
        if (kept.size() < fixed) {
            if (!part.empty()) kept.push_back(part);
            continue;
        }
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (kept.size() > fixed && kept.back() != "..") {
                kept.pop_back();
            } else if (root == 0) {
                kept.push_back(part);  // a relative path keeps the climbs it cannot resolve
            }
            continue;
        }
        kept.push_back(part);
    }
    std::string out(path.substr(0, root));
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) out += '\\';
        out += kept[i];
    }
    if (trailing && !kept.empty()) out += '\\';
    return CkvString(out);
}

CkvString remove_file_name(std::string_view path) {
    const size_t root = root_length(path);
    size_t sep = last_separator(path);
    if (sep == std::string_view::npos) return CkvString();
    if (sep < root) return CkvString(path.substr(0, root));
    if (sep + 1 == root) return CkvString(path.substr(0, root));
    return CkvString(path.substr(0, sep));
}

CkvString append(std::string_view dir, std::string_view rest) {
    while (!rest.empty() && rest[0] == '\\')
        rest.remove_prefix(1);
    std::string out(dir);
    if (out.empty()) return CkvString(rest);
    const bool ends_with_separator = out.back() == '\\' && last_separator(out) == out.size() - 1;
    if (!ends_with_separator) out += '\\';
    out += rest;
    return CkvString(out);
}

bool relative_between(std::string_view from, std::string_view to, CkvString* out) {
    const size_t from_root = root_length(from);
    const size_t to_root = root_length(to);
    if (!from_root || !to_root) return false;
    if (!equal_nocase(from.substr(0, from_root), to.substr(0, to_root))) return false;
    const CkvString from_canonical = canonicalize(from);
    const CkvString to_canonical = canonicalize(to);
    std::vector<std::string_view> from_parts =
        split(std::string_view(from_canonical).substr(from_root));
    std::vector<std::string_view> to_parts = split(std::string_view(to_canonical).substr(to_root));
    if (!from_parts.empty()) from_parts.pop_back();  // the folder of the from file
    if (from_root == 2) {
        // Network paths must share server and share before anything else counts.
        if (from_parts.size() < 2 || to_parts.size() < 3 ||
            !equal_nocase(from_parts[0], to_parts[0]) || !equal_nocase(from_parts[1], to_parts[1]))
            return false;
    }
    size_t common = 0;
    while (common < from_parts.size() && common + 1 < to_parts.size() &&
           equal_nocase(from_parts[common], to_parts[common]))
        ++common;
    std::string rel;
    const size_t ups = from_parts.size() - common;
    if (ups == 0) rel = ".\\";
    for (size_t i = 0; i < ups; ++i)
        rel += "..\\";
    for (size_t i = common; i < to_parts.size(); ++i) {
        rel += to_parts[i];
        if (i + 1 < to_parts.size()) rel += '\\';
    }
    *out = CkvString(rel);
    return true;
}

bool executable_path(std::string_view rest, MseqFullPath* out) {
    if (is_absolute(rest)) {
        *out = MseqFullPath(CkvString(rest));
        return true;
    }
    const CkvString& program = program_file();
    if (program.empty()) return false;
    CkvString dir = remove_file_name(program);
    std::string combined(dir);
    if (combined.empty() || combined.back() != '\\' ||
        last_separator(combined) != combined.size() - 1)
        combined += '\\';
    combined += rest;
    if (combined.size() + 1 > kMaxPath) return false;
    *out = MseqFullPath(CkvString(combined));
    return true;
}

bool resolve(std::string_view path, const MseqObject* node, bool dir_only, MseqFullPath* out) {
    if (equal_nocase(path, kWith)) return false;
    CkvString absolute;
    std::string_view rest;
    if (!path.empty() && path[0] == '<') {
        if (has_macro(path, kBook, &rest)) {
            if (rest.empty() || !node || mseq_type_category(node->type) != MCAT_LEAF) return false;
            MseqObject* book = mseq_find_book_ancestor(const_cast<MseqObject*>(node));
            MseqFullPath book_file;
            if (!book || !resolve(book, false, &book_file)) return false;
            absolute = append(remove_file_name(book_file), rest);
        } else if (has_macro(path, kRoom, &rest)) {
            if (rest.empty() || !node || mseq_type_category(node->type) != MCAT_BOOK) return false;
            MseqObject* room = mseq_find_room_ancestor(const_cast<MseqObject*>(node));
            MseqFullPath room_file;
            if (!room || !resolve(room, false, &room_file)) return false;
            absolute = append(remove_file_name(room_file), rest);
        } else if (has_macro(path, kProg, &rest)) {
            MseqFullPath exe;
            if (!executable_path(rest, &exe)) return false;
            absolute = exe;
        } else {
            return false;
        }
    } else {
        absolute = CkvString(path);
    }
    CkvString canonical = canonicalize(absolute);
    if (!valid_absolute(canonical) || !fits(canonical)) return false;
    if (dir_only) canonical = remove_file_name(canonical);
    *out = MseqFullPath(canonical);
    return true;
}

bool resolve(const MseqObject* node, bool dir_only, MseqFullPath* out) {
    return node && resolve(node->path, node, dir_only, out);
}

bool set_kind(MseqObject* node, int kind, bool apply) {
    if (!node || node->type == MTYPE_LEAF_FOLDER) return false;
    CkvString next;
    switch (kind) {
        case MPK_NONE:
            break;
        case MPK_WITH:
            next = CkvString(kWith);
            break;
        case MPK_ABSOLUTE:
        case MPK_PROG:
        case MPK_ROOM:
        case MPK_BOOK: {
            MseqFullPath target;
            if (!resolve(node, false, &target)) return false;
            if (kind == MPK_ABSOLUTE) {
                next = target;
            } else if (kind == MPK_PROG) {
                CkvString rel;
                if (!relative_between(program_file(), target, &rel)) return false;
                next = CkvString(std::string(kProg) + rel);
            } else if (kind == MPK_ROOM) {
                if (mseq_type_category(node->type) != MCAT_BOOK) return false;
                if (!relative_to_macro(kRoom, mseq_find_room_ancestor(node), target, &next))
                    return false;
            } else {
                if (mseq_type_category(node->type) != MCAT_LEAF) return false;
                if (!relative_to_macro(kBook, mseq_find_book_ancestor(node), target, &next))
                    return false;
            }
            break;
        }
        default:
            return false;
    }
    if (apply) node->path = MseqDescPath(next);
    return true;
}

bool make_relative(MseqObject* node) {
    for (int kind : {MPK_ROOM, MPK_BOOK, MPK_PROG}) {
        if (set_kind(node, kind, true)) return true;
    }
    return false;
}

bool name_from_file_path(std::string_view path, CkvString* out) {
    if (path.size() >= kMaxPath) return false;
    size_t sep = last_separator(path);
    std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
    size_t dot = CkvString(name).rfind_char('.');
    if (dot != CkvString::npos) name = name.substr(0, dot);
    *out = CkvString(name);
    return true;
}

bool valid_name(std::string_view name) {
    if (name.empty()) return false;
    bool first = true;
    bool last_was_space = false;
    for (size_t i = 0; i < name.size();) {
        size_t n = kv_char_length(name, i);
        bool space;
        if (n == 2) {
            space = static_cast<unsigned char>(name[i]) == 0x81 && name[i + 1] == 0x40;
        } else {
            auto c = static_cast<unsigned char>(name[i]);
            if (c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
                c == '<' || c == '>' || c == '|')
                return false;
            space = c == ' ';
        }
        if (first && space) return false;
        first = false;
        last_was_space = space;
        i += n;
    }
    return !last_was_space;
}

}  // namespace mseq_path
