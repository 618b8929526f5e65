#include "gui/GuiStart.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>

#include "model/core/MseqObject.h"
#include "model/core/parse_int.h"
#include "model/lang/KvLanguage.h"

GuiOptions gui_parse_options(const std::vector<std::string>& args) {
    GuiOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--home" && has_value) {
            o.home = args[++i];
        } else if (a == "--lang") {
            kv_language language = kv_language::japanese;
            if (!has_value || !kv_parse_language(args[i + 1], &language)) {
                o.error = "--lang wants ja or en" + (has_value ? ", not " + args[i + 1] : "");
                return o;
            }
            o.language = language;
            ++i;
        } else if (a == "--open" && has_value) {
            o.open_leaf = args[++i];
        } else if (a == "--screenshot" && has_value) {
            o.screenshot = args[++i];
        } else if (a == "--size" && has_value) {
            const std::string& size = args[++i];
            const size_t x = size.find_first_of("xX");
            int64_t w = 0, h = 0;
            if (x == std::string::npos ||
                parse_int(std::string_view(size).substr(0, x), 200, 8000, &w) !=
                    parse_int_error::none ||
                parse_int(std::string_view(size).substr(x + 1), 150, 8000, &h) !=
                    parse_int_error::none) {
                o.error = "--size wants WIDTHxHEIGHT, at least 200x150: " + size;
                return o;
            }
            o.width = static_cast<int>(w);
            o.height = static_cast<int>(h);
        } else if (a == "--bar" && has_value) {
            const std::string& bar = args[++i];
            int64_t n = 0;
            if (parse_int(bar, 1, 100000, &n) != parse_int_error::none) {
                o.error = "--bar wants a bar number from 1: " + bar;
                return o;
            }
            o.bar = static_cast<int>(n);
        } else if (a == "--zoom" && has_value) {
            const std::string& zoom = args[++i];
            char* end = nullptr;
            const long n = std::strtol(zoom.c_str(), &end, 10);
            if (zoom == "fit") {
                o.zoom_fit = true;
            } else if (zoom.empty() || *end != '\0' || n < -20 || n > 20) {
                o.error = "--zoom wants fit or a number of levels from -20 to 20: " + zoom;
                return o;
            } else {
                o.zoom = static_cast<int>(n);
            }
        } else if (a == "--lanes") {
            o.lanes = true;
        } else if (a == "--view-only") {
            o.view_only = true;
        } else if (a == "--dialog" && has_value) {
            o.dialog = args[++i];
            if (o.dialog != "settings") {
                o.error = "--dialog wants settings: " + o.dialog;
                return o;
            }
        } else if (a == "--step-keys" && has_value) {
            const std::string& keys = args[++i];
            for (size_t from = 0; from <= keys.size();) {
                size_t comma = keys.find(',', from);
                if (comma == std::string::npos) comma = keys.size();
                int64_t key = 0;
                if (parse_int(std::string_view(keys).substr(from, comma - from), 0, 127, &key) !=
                    parse_int_error::none) {
                    o.error = "--step-keys wants keys 0-127 separated by commas: " + keys;
                    return o;
                }
                o.step_keys.push_back(static_cast<int32_t>(key));
                from = comma + 1;
            }
        } else if (a == "--report-first-paint") {
            o.report_first_paint = true;
        } else if (!a.empty() && a[0] == '-') {
            o.error = "unknown option " + a;
            return o;
        } else if (o.library.empty()) {
            o.library = a;
        } else {
            o.error = "only one library can be opened: " + a;
            return o;
        }
    }
    return o;
}

namespace {

MseqObject* child_named(MseqObject* node, const CkvString& name) {
    if (mseq_type_category(node->type) == MCAT_BOOK || node->type == MTYPE_ROOM) mseq_open(node);
    for (MseqObject* c = node->first_child(); c; c = c->next()) {
        if (c->name == name) return c;
    }
    return nullptr;
}

MseqObject* find_anywhere(MseqObject* node, const CkvString& name) {
    if (mseq_type_category(node->type) == MCAT_BOOK) mseq_open(node);
    for (MseqObject* c = node->first_child(); c; c = c->next()) {
        if (c->name == name) return c;
        if (MseqObject* found = find_anywhere(c, name)) return found;
    }
    return nullptr;
}

}  // namespace

MseqObject* gui_find_node(MseqObject* room, const CkvString& path) {
    if (!room || path.empty()) return nullptr;
    if (path.find_char('/') == std::string::npos) return find_anywhere(room, path);
    MseqObject* node = room;
    size_t start = 0;
    while (node) {
        const size_t slash = path.find_char('/', start);
        const CkvString part(
            path.substr(start, slash == std::string::npos ? slash : slash - start));
        node = child_named(node, part);
        if (slash == std::string::npos) return node;
        start = slash + 1;
    }
    return nullptr;
}

QTranslator* gui_install_qt_translations(QCoreApplication& app) {
    const QString name = QStringLiteral("kv_qt_translation");
    for (QTranslator* old : app.findChildren<QTranslator*>(name, Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    const bool japanese = kv_current_language() == kv_language::japanese;
    QLocale::setDefault(japanese ? QLocale(QLocale::Japanese, QLocale::Japan)
                                 : QLocale(QLocale::English, QLocale::UnitedStates));
    if (!japanese) return nullptr;
    // qtbase holds the texts of the widgets; the translator lives as long as the application.
    auto* translator = new QTranslator(&app);
    translator->setObjectName(name);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}
