#pragma once

// Small steps the view tests share: reading a saved file, finding a library-tree item, opening a
// leaf as a double click would, and finding a track of the music view by its name.
#include <QTreeWidget>
#include <fstream>
#include <sstream>
#include <string>

#include "GuiHarness.h"
#include "edit/MedtMusic.h"
#include "gui/GuiEditorPane.h"
#include "gui/GuiRoomTree.h"
#include "gui/views/GuiMusicView.h"
#include "platform/TextCodec.h"

namespace gui_steps {

// The bytes of a file; empty when it cannot be read.
inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The first item of the tree showing `text`; nullptr when none does.
inline QTreeWidgetItem* tree_item(QTreeWidget* tree, const QString& text) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0) == text) return *it;
    }
    return nullptr;
}

// Opens the library leaf named `name` (UTF-8) in the editor pane, as activating its item does.
// False when there is no such item or nothing is shown afterwards.
inline bool open_leaf(GuiHarness& h, const char* name) {
    GuiRoomTree* tree = h.window().room_tree();
    QTreeWidgetItem* item = tree_item(tree, u(name));
    if (!item) return false;
    tree->setCurrentItem(item);
    emit tree->itemActivated(item, 0);
    return h.frame().shown_file() != nullptr;
}

inline GuiMusicView* music_view(GuiHarness& h) {
    return h.window().editor_pane()->music_view();
}

// The track of the shown music named `name` (UTF-8); nullptr when none is.
inline MedtTrack* find_track(GuiHarness& h, const char* name) {
    MedtMusicInvoker* ed = music_view(h)->editor();
    if (!ed) return nullptr;
    const CkvString wanted(kv_codec::cp932_from_utf8(name));
    for (MedtTrack* t = ed->root(); t; t = t->next_in(ed->root())) {
        if (t->name() == wanted) return t;
    }
    return nullptr;
}

}  // namespace gui_steps
