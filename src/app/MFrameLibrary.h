#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/MAppUserPort.h"
#include "model/core/CkvString.h"
#include "model/core/MseqFileStore.h"
#include "model/core/MseqObject.h"

class MFrame;
class MseqRoom;

// The main frame's library part: the open library's root node and room, the library tree's
// selection, and the tree's commands (creating books, leaves and folders, the new-music dialog,
// links to existing files, deleting, opening and renaming links). It reaches the edit list,
// the player and the save flow through its frame. User-interface thread only.
class MFrameLibrary {
public:
    explicit MFrameLibrary(MFrame& frame);
    ~MFrameLibrary();
    MFrameLibrary(const MFrameLibrary&) = delete;
    MFrameLibrary& operator=(const MFrameLibrary&) = delete;

    // The open library's root node and room; nullptr while none is open.
    MseqObject* room_node() const { return room_node_.get(); }
    MseqRoom* room() const { return room_; }

    // Makes a root node for the library file `full` (Windows form) and opens its content. False
    // when the file gives no library; `problem` then holds why and no library is open.
    bool attach(const CkvString& full, MseqLoadProblem* problem);
    // Forgets the selection, the root node and the room (the desk is the caller's to empty).
    void detach();

    // The tree's selected node; nullptr for none.
    void select_node(MseqObject* node) { selected_node_ = node; }
    MseqObject* selected_node() const { return selected_node_; }
    // Whether the link-information bar is shown, and its switch.
    bool link_info_shown() const { return link_info_shown_; }
    void toggle_link_info() { link_info_shown_ = !link_info_shown_; }

    // See MFrame::rename_node, MFrame::file_mark, MFrame::browse_request, MFrame::check_browsed.
    bool rename_node(MseqObject* node, const CkvString& name);
    const char* file_mark(const MseqObject* node) const;
    MAppFileRequest browse_request(MAppDialog dialog, const std::string& field,
                                   const MAppFields& current) const;
    bool check_browsed(const std::string& field, const CkvString& path);

    // True when the node or a node below it shows content that an edit-list entry or the
    // player uses; such links cannot be deleted.
    bool subtree_in_use(const MseqObject* node) const;
    // The node may be deleted: not the library, not in use, removable by the model.
    bool deletable(const MseqObject* node) const;
    // The node of the open library whose file is `path`, or nullptr.
    MseqObject* node_for_file(const CkvString& path);

    // The tree's commands on the selected node (each after its dialogs and messages).
    void create_item(uint32_t id);
    void create_folder();
    void new_music();
    void delete_link();
    void open_link();

private:
    MFrame& frame_;
    MAppUserPort* port_;
    std::unique_ptr<MseqObject> room_node_;
    MseqRoom* room_ = nullptr;
    MseqObject* selected_node_ = nullptr;
    bool link_info_shown_ = false;
};
