#include "Library.h"

#include <map>
#include <memory>
#include <string>

#include "Demo.h"
#include "Maps.h"
#include "PatternBook.h"
#include "model/core/MseqDesk.h"
#include "model/lang/KvLanguage.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "platform/FileSystem.h"

namespace kv_data {

namespace {

// The content of a node, opened through the desk from its (not yet existing) file.
template <class T>
T* fresh_content(MseqObject* node, MSEQ_TYPE type, ref_ptr<MseqEntity>* keep) {
    *keep = mseq_open(node);
    T* content = (*keep)->cast_to<T>(type);
    if (!content) fail("cannot open " + std::string(node->name.str()));
    if (!(content->flags & MEF_NEW))
        fail("a file of the data already exists at " + kv_fs::to_host(content->full_path.str()) +
             "; write into an empty folder");
    return content;
}

MseqObject* folder(MseqBook* book, MseqObject* parent, std::string_view name) {
    MseqObject* f =
        book->create_leaf(parent, MPLACE_LAST_CHILD, MTYPE_LEAF_FOLDER, jp(name), MseqDescPath());
    if (!f) fail("cannot create the folder " + std::string(name));
    return f;
}

MseqObject* leaf(MseqBook* book, MseqObject* parent, MSEQ_TYPE type, std::string_view name,
                 const std::string& path) {
    MseqObject* l =
        book->create_leaf(parent, MPLACE_LAST_CHILD, type, jp(name), MseqDescPath(CkvString(path)));
    if (!l) fail("cannot create the leaf " + std::string(name));
    return l;
}

// The phrase leaves of the pattern book by file name.
using PhraseNodes = std::map<std::string, MseqObject*>;

PhraseNodes write_pattern_book(const Output& out, MseqRoom* room, MseqObject* book_node) {
    ref_ptr<MseqEntity> keep;
    auto* book = fresh_content<MseqBook>(book_node, MTYPE_BOOK, &keep);
    book->name = book_node->name;
    PhraseNodes nodes;
    for (const FolderRecipe& f : pattern_folders()) {
        MseqObject* dir = folder(book, book_node, f.name);
        for (const PhraseRecipe& p : pattern_phrases()) {
            if (std::string(p.folder) != f.key) continue;
            // The leaf's name is the phrase's own, so it is known only once it is built.
            MseqObject* node = leaf(book, dir, MTYPE_LEAF_PHRASE, say("フレーズ", "Phrase"),
                                    std::string("<book>.\\") + f.key + "\\" + p.file);
            ref_ptr<MseqEntity> content;
            auto* phrase = fresh_content<MseqMusic>(node, MTYPE_LEAF_PHRASE, &content);
            p.build(*phrase);
            if (!room->rename(node->id, phrase->name)) fail("cannot name the leaf");
            out.save(phrase);
            nodes[p.file] = node;
        }
    }
    out.save(book);
    return nodes;
}

void write_demo_book(const Output& out, MseqRoom* room, MseqObject* book_node,
                     const PhraseNodes& phrases) {
    ref_ptr<MseqEntity> keep;
    auto* book = fresh_content<MseqBook>(book_node, MTYPE_BOOK, &keep);
    book->name = book_node->name;

    MseqObject* song = leaf(book, book_node, MTYPE_LEAF_MUSIC, say("はじまりの朝", "First Morning"),
                            "<book>.\\song.kvnl");
    MseqObject* sampler = leaf(book, book_node, MTYPE_LEAF_MUSIC,
                               say("パターン見本", "Pattern sampler"), "<book>.\\sampler.kvnl");
    MseqObject* maps = folder(book, book_node, say("マップ", "Maps"));
    MseqObject* chord_c =
        leaf(book, maps, MTYPE_LEAF_CHORD, say("ハ長調", "C major"), "<book>.\\chord_c.kvnl");
    MseqObject* chord_d =
        leaf(book, maps, MTYPE_LEAF_CHORD, say("ニ長調", "D major"), "<book>.\\chord_d.kvnl");
    MseqObject* stage =
        leaf(book, maps, MTYPE_LEAF_STAGE, say("バンド", "Band"), "<book>.\\stage.kvnl");

    // The standard patterns the musics play, linked into this book by the library's own
    // operation (which stores their paths relative to the library).
    DemoRefs refs;
    MseqObject* patterns = folder(book, book_node, say("標準パターン", "Standard patterns"));
    for (const FolderRecipe& f : pattern_folders()) {
        MseqObject* dir = folder(book, patterns, f.name);
        for (const PhraseRecipe& p : pattern_phrases()) {
            if (std::string(p.folder) != f.key) continue;
            MseqObject* link = room->link_leaf(phrases.at(p.file), dir, MPLACE_LAST_CHILD);
            if (!link) fail(std::string("cannot link ") + p.file);
            refs.phrases[p.file] = mseq_with_file_number(link->id, MFILE_OWN_BOOK);
        }
    }
    refs.chord_c = mseq_with_file_number(chord_c->id, MFILE_OWN_BOOK);
    refs.chord_d = mseq_with_file_number(chord_d->id, MFILE_OWN_BOOK);
    refs.stage = mseq_with_file_number(stage->id, MFILE_OWN_BOOK);

    ref_ptr<MseqEntity> content;
    auto* c_major = fresh_content<MseqMapChord>(chord_c, MTYPE_LEAF_CHORD, &content);
    major_key(*c_major, say("ハ長調", "C major"), 0);
    out.save(c_major);
    auto* d_major = fresh_content<MseqMapChord>(chord_d, MTYPE_LEAF_CHORD, &content);
    major_key(*d_major, say("ニ長調", "D major"), 2);
    out.save(d_major);
    auto* band = fresh_content<MseqMapStage>(stage, MTYPE_LEAF_STAGE, &content);
    general_midi_stage(*band, say("バンド", "Band"),
                       {
                           {0, 73, 108, 64, 50, 10},  // melody: flute, in the middle
                           {1, 0, 100, 80, 40, 0},    // piano, right of the middle
                           {2, 33, 112, 64, 10, 0},   // finger bass
                           {3, 25, 92, 24, 40, 20},   // steel-string guitar, wide left
                           {4, 27, 88, 104, 35, 30},  // clean electric guitar, wide right
                           {5, 48, 96, 40, 60, 0},    // strings, left
                           {6, 8, 90, 32, 70, 0},     // celesta, left
                           {7, 52, 80, 88, 70, 0},    // choir, right
                           {9, 0, 110, 64, 30, 0},    // standard drum kit
                       });
    band->block(5)->m_Flags |= MSTAGE_EXPRESSION;
    band->block(5)->m_Expression = 70;
    out.save(band);

    auto* demo = fresh_content<MseqMusic>(song, MTYPE_LEAF_MUSIC, &content);
    build_demo_song(*demo, refs);
    out.save(demo);
    auto* samples = fresh_content<MseqMusic>(sampler, MTYPE_LEAF_MUSIC, &content);
    build_sampler(*samples, refs);
    out.save(samples);
    out.save(book);
}

}  // namespace

namespace {

// Writes the library at `library` (relative to the output folder) with its books; the
// pattern book is the one at `pattern_book` (a "<prog>" path).
void write_library(const Output& out, const std::string& library, const char* pattern_book) {
    MseqObject room_node(MID_ROOM, MTYPE_ROOM, jp(say("マイライブラリ", "My library")),
                         MseqDescPath(out.path(library)));
    ref_ptr<MseqEntity> keep;
    auto* room = fresh_content<MseqRoom>(&room_node, MTYPE_ROOM, &keep);
    room->name = room_node.name;
    MseqObject* pattern = room->create_book(&room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_LIBRARY,
                                            jp(say("パターンブック_標準", "Standard pattern book")),
                                            MseqDescPath(pattern_book));
    MseqObject* demo = room->create_book(&room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                         jp(say("デモソング", "Demo songs")),
                                         MseqDescPath("<room>.\\demo\\demo.kvnb"));
    if (!pattern || !demo) fail("cannot create the books of the library");
    const PhraseNodes phrases = write_pattern_book(out, room, pattern);
    write_demo_book(out, room, demo, phrases);
    out.save(room);
    // The cached contents go before the nodes they belong to.
    keep = nullptr;
    MseqDesk::instance().modified.clear();
    MseqDesk::instance().cache.clear();
}

}  // namespace

void write_libraries(const Output& out) {
    write_library(out, "mymusic/library.kvnr", "<prog>.\\pattern_v01\\pattern.kvnb");
}

void write_english_libraries(const Output& out) {
    // As for the English templates: the program speaks English while they are made, so that
    // the words taken from the dictionary are English too.
    kv_set_language(kv_language::english);
    write_library(out, "mymusic/en/library.kvnr", "<prog>.\\pattern_v01\\en\\pattern.kvnb");
    kv_set_language(kv_language::japanese);
}

}  // namespace kv_data
