#include "gui/views/GuiMusicView.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/MAppTreeWidthSetting.h"
#include "edit/McmdBookLink.h"
#include "edit/McmdTrack.h"
#include "edit/MedtMusic.h"
#include "edit/MedtNoteValue.h"
#include "edit/MedtViewCommands.h"
#include "gui/GuiIcons.h"
#include "gui/GuiText.h"
#include "gui/views/GuiPropertyList.h"
#include "gui/views/GuiTimeline.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapWord.h"

namespace mvc = medt_view_commands;

namespace {

// The icon of a command that has one: the desktop theme's, else a glyph of the program's own.
// The note kinds and display switches are words and have none.
QIcon command_icon(int id) {
    switch (id) {
        case MVC_CUT:
            return gui_theme_icon("edit-cut", QString::fromUtf8("\u2702"));
        case MVC_COPY:
            return gui_theme_icon("edit-copy", gui_utf8(gui_msg::ICON_COPY));
        case MVC_PASTE:
            return gui_theme_icon("edit-paste", gui_utf8(gui_msg::ICON_PASTE));
        case MVC_OVERWRITE:
            return gui_theme_icon("edit-paste-in-place", gui_utf8(gui_msg::ICON_OVERWRITE));
        case MVC_DELETE:
        case MVC_DELETE_BEFORE:
            return gui_theme_icon("edit-delete", QString::fromUtf8("\u2715"));
        case MVC_SPACE:
            return gui_theme_icon("format-indent-more", QString::fromUtf8("\u21e5"));
        case MVC_UNDO:
            return gui_theme_icon("edit-undo", QString::fromUtf8("\u21b6"));
        case MVC_REDO:
            return gui_theme_icon("edit-redo", QString::fromUtf8("\u21b7"));
        case MVC_TYPE_NOTES:
            return gui_theme_icon("input-keyboard", QString::fromUtf8("\u2328"));
        case MVC_ZOOM_IN:
            return gui_theme_icon("zoom-in", QStringLiteral("+"));
        case MVC_ZOOM_OUT:
            return gui_theme_icon("zoom-out", QString::fromUtf8("\u2212"));
        case MVC_ZOOM_FIT:
            return gui_theme_icon("zoom-fit-best", QString::fromUtf8("\u2194"));
        default:
            return QIcon();
    }
}

}  // namespace

GuiMusicView::GuiMusicView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("kv_music_view"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Two rows, so that every button stays in reach at a 1280-pixel window: the edit actions,
    // typed entry and the note kinds above, the display switches below.
    bar_ = new QToolBar(this);
    bar_->setObjectName(QStringLiteral("kv_music_bar"));
    layout->addWidget(bar_);
    show_bar_ = new QToolBar(this);
    show_bar_->setObjectName(QStringLiteral("kv_music_show_bar"));
    layout->addWidget(show_bar_);
    // The timeline takes what the window gains; the property list keeps its width.
    split_ = new QSplitter(Qt::Horizontal, this);
    split_->setObjectName(QStringLiteral("kv_music_split"));
    timeline_ = new GuiTimeline(split_);
    properties_ = new GuiPropertyList(split_);
    split_->setStretchFactor(0, 1);
    split_->setStretchFactor(1, 0);
    split_->setSizes({900, kPropertyWidthMin});
    layout->addWidget(split_, 1);
    keep_width_ = new QTimer(this);
    keep_width_->setSingleShot(true);
    keep_width_->setInterval(300);
    connect(keep_width_, &QTimer::timeout, this,
            [this] { mapp_save_property_width_setting(split_->sizes().value(1)); });
    connect(split_, &QSplitter::splitterMoved, this, [this] {
        width_kept_ = true;
        keep_width_->start();
    });

    auto* edit_menu = new QMenu(gui_utf8(gui_msg::MENU_EDIT), this);
    auto* view_menu = new QMenu(gui_utf8(gui_msg::MENU_VIEW), this);
    menus_ = {edit_menu, view_menu};
    auto make = [this](const MedtViewCommand& c, QMenu* menu, QToolBar* bar) {
        const QString label = gui_text(mvc::label(c.id));
        auto* a = new QAction(label, this);
        a->setData(c.id);
        a->setStatusTip(gui_text(mvc::status_text(c.id)));
        a->setToolTip(label.section(QLatin1Char('\t'), 0, 0));
        a->setCheckable(mvc::toggle_bit(c.id) != 0 || mvc::is_note_kind(c.id) ||
                        c.id == MVC_TYPE_NOTES || mvc::is_note_value(c.id) || c.id == MVC_LANE);
        const QIcon icon = command_icon(c.id);
        if (!icon.isNull()) a->setIcon(icon);
        connect(a, &QAction::triggered, this, [this, id = c.id] { run_command(id); });
        connect(a, &QAction::hovered, this, [this, a] {
            if (status) status(a->statusTip());
        });
        if (menu) menu->addAction(a);
        if (bar) {
            // The tool bar shows the short name (or the icon) without the key; the tip names
            // the command in full.
            auto* b = new QAction(a->icon(), gui_text(mvc::bar_label(c.id)), this);
            b->setData(c.id);
            b->setToolTip(a->toolTip());
            b->setStatusTip(a->statusTip());
            b->setCheckable(a->isCheckable());
            connect(b, &QAction::triggered, a, &QAction::trigger);
            connect(a, &QAction::changed, b, [a, b] {
                b->setChecked(a->isChecked());
                b->setEnabled(a->isEnabled());
            });
            bar->addAction(b);
        }
        actions_.push_back(a);
    };
    const auto caption = [](QToolBar* bar, gui_msg text) {
        auto* label = new QLabel(gui_utf8(text), bar);
        label->setContentsMargins(6, 0, 4, 0);
        bar->addWidget(label);
    };
    for (const MedtViewCommand& c : mvc::edit_commands())
        make(c, edit_menu, c.id != MVC_DELETE_BEFORE ? bar_ : nullptr);
    edit_menu->addSeparator();
    auto* add = edit_menu->addMenu(gui_text(mvc::label(MVC_ADD_TRACK)));
    for (const MedtViewCommand& c : mvc::add_track_commands())
        make(c, add, nullptr);
    for (const MedtViewCommand& c : mvc::track_commands()) {
        if (c.id != MVC_ADD_TRACK) make(c, edit_menu, nullptr);
    }
    // Typed note entry: the switch and the note-value selector in the tool bar, the values in
    // the edit menu (and on their keys).
    bar_->addSeparator();
    edit_menu->addSeparator();
    for (const MedtViewCommand& c : mvc::entry_commands())
        make(c, edit_menu, c.id == MVC_TYPE_NOTES ? bar_ : nullptr);
    add_value_selector();
    bar_->addSeparator();
    caption(bar_, gui_msg::CAPTION_DRAW);
    for (const MedtViewCommand& c : mvc::note_kinds())
        make(c, view_menu, bar_);
    view_menu->addSeparator();
    caption(show_bar_, gui_msg::CAPTION_SHOW);
    for (const MedtViewCommand& c : mvc::display_toggles()) {
        if (c.id == MVC_SHOW_PLAY_POSITION || c.id == MVC_CHORD_NAMES) show_bar_->addSeparator();
        make(c, view_menu, show_bar_);
    }
    // The zoom: in the menu (and on its keys) only, so that the tool bar keeps its width.
    view_menu->addSeparator();
    for (const MedtViewCommand& c : mvc::zoom_commands())
        make(c, view_menu, nullptr);
    // The resolved-pitch lanes: in the menu only, like the zoom.
    view_menu->addSeparator();
    for (const MedtViewCommand& c : mvc::lane_commands())
        make(c, view_menu, nullptr);

    timeline_->status = [this](const QString& s) {
        if (status) status(s);
    };
    properties_->status = [this](const QString& s) {
        if (status) status(s);
    };
    properties_->changed = [this] { timeline_->relayout(); };
    timeline_->view_command = [this](int id) { run_command(id); };
    timeline_->typing_changed = [this] { update_actions(); };
    connect(timeline_, &GuiTimeline::cursor_moved, this, [this] {
        if (editor_ && editor_->current() != last_track_) {
            last_track_ = editor_->current();
            properties_->refresh();
            update_actions();
        }
    });
    // The play cursor and the lock are polled: the frame moves the cursor from the player's
    // posted positions, and locks the editors while a run reads the model.
    poll_ = new QTimer(this);
    poll_->setInterval(40);
    connect(poll_, &QTimer::timeout, this, &GuiMusicView::play_update);
    poll_->start();
}

GuiMusicView::~GuiMusicView() {
    if (editor_ && editor_->view == this) editor_->view = nullptr;
}

QAction* GuiMusicView::action(int id) const {
    for (QAction* a : actions_) {
        if (a->data().toInt() == id) return a;
    }
    return nullptr;
}

void GuiMusicView::set_editor(MedtMusicInvoker* editor) {
    if (editor == editor_.get()) {
        timeline_->relayout();
        properties_->refresh();
        update_actions();
        return;
    }
    if (editor_ && editor_->view == this) editor_->view = nullptr;
    // The timeline and the list let go first: the reference below may be the last one.
    timeline_->set_editor(nullptr);
    properties_->set_editor(nullptr);
    editor_ = ref_ptr<MedtMusicInvoker>(editor);
    if (editor_) editor_->view = this;
    if (editor_) editor_->place_first_cursor();
    last_track_ = editor_ ? editor_->current() : nullptr;
    last_locked_ = editor_ && editor_->read_only();
    timeline_->set_editor(editor_.get());
    properties_->set_editor(editor_.get());
    if (editor_) place_property_list();
    update_actions();
}

void GuiMusicView::place_property_list() {
    int width = 0;
    if (!list_placed_) {
        list_placed_ = true;
        width = mapp_load_property_width_setting().width;
        width_kept_ = width > 0;
    }
    // Until the user sets a width, the list widens to the rows of each track shown (never
    // narrower, so that it does not jump from track to track).
    if (!width_kept_)
        width = std::max(split_->sizes().value(1),
                         mapp_fit_property_width(properties_->content_width()));
    if (width <= 0 || width == split_->sizes().value(1)) return;
    const int total = std::max(split_->width(), width + 1);
    split_->setSizes({total - width, width});
}

namespace {

// The values of the note-value selector, in its order: each value plain, dotted and triplet.
std::vector<MedtNoteValue> selector_values() {
    std::vector<MedtNoteValue> out;
    for (int32_t d = 1; d <= 32; d *= 2) {
        out.push_back({d, false, false});
        out.push_back({d, true, false});
        out.push_back({d, false, true});
    }
    return out;
}

QString value_label(const MedtNoteValue& v) {
    gui_msg name = gui_msg::VALUE_32;
    switch (v.denominator) {
        case 1:
            name = gui_msg::VALUE_1;
            break;
        case 2:
            name = gui_msg::VALUE_2;
            break;
        case 4:
            name = gui_msg::VALUE_4;
            break;
        case 8:
            name = gui_msg::VALUE_8;
            break;
        case 16:
            name = gui_msg::VALUE_16;
            break;
        default:
            break;
    }
    const QString base = gui_utf8(name);
    if (v.dotted) return gui_fill(gui_msg::VALUE_DOTTED, {base});
    if (v.triplet) return gui_fill(gui_msg::VALUE_TRIPLET, {base});
    return base;
}

}  // namespace

void GuiMusicView::add_value_selector() {
    value_box_ = new QComboBox(bar_);
    value_box_->setObjectName(QStringLiteral("kv_note_value"));
    value_box_->setToolTip(gui_utf8(gui_msg::VALUE_TIP));
    for (const MedtNoteValue& v : selector_values())
        value_box_->addItem(value_label(v));
    bar_->addWidget(value_box_);
    connect(value_box_, &QComboBox::activated, this, [this](int index) {
        const std::vector<MedtNoteValue> values = selector_values();
        if (index < 0 || index >= int(values.size())) return;
        timeline_->set_note_value(values[size_t(index)]);
        update_actions();
        timeline_->setFocus();
    });
}

bool GuiMusicView::run_entry_command(int id) {
    if (id == MVC_TYPE_NOTES) {
        timeline_->set_typing(!timeline_->typing());
    } else {
        MedtNoteValue v = timeline_->note_value();
        if (!mvc::apply_note_value(id, &v)) return false;
        timeline_->set_note_value(v);
        if (status) status(value_label(v));
    }
    update_actions();
    return true;
}

bool GuiMusicView::run_command(int id) {
    if (!editor_) return false;
    if (id == MVC_TYPE_NOTES || mvc::is_note_value(id)) return run_entry_command(id);
    bool done = false;
    if (id == MVC_SHOW_PLAY_POSITION) {
        timeline_->follow_play_cursor();
        return true;
    }
    if (mvc::is_zoom(id)) return timeline_->run_zoom(id);
    if (mvc::is_lane(id)) {
        done = mvc::run_lane(*editor_, id);
        timeline_->relayout();
        update_actions();
        return done;
    }
    if (mvc::toggle_bit(id) || mvc::is_note_kind(id)) {
        done = mvc::run(editor_->music(), id);
        timeline_->relayout();
    } else if (id == MVC_ADD_RHYTHM) {
        done = add_rhythm_track();
    } else if (id == MVC_UNDO) {
        done = !editor_->nothing_to_undo() && !editor_->read_only();
        editor_->undo();
    } else if (id == MVC_REDO) {
        done = !editor_->nothing_to_redo() && !editor_->read_only();
        editor_->redo();
    } else {
        done = editor_->command(id) != 0;
    }
    timeline_->relayout();
    timeline_->scroll_to_cursor();
    properties_->refresh();
    update_actions();
    return done;
}

bool GuiMusicView::add_rhythm_track() {
    // The rhythm sound comes first, from the drum sounds of the dictionary.
    std::vector<MseqBlockWord> sounds;
    QMenu menu(this);
    for (const auto& [key, word] : MseqMapWord::builtin().words()) {
        if (word.m_Attrib != MWORD_DRUM_SOUND) continue;
        menu.addAction(QStringLiteral("%1 %2").arg(word.m_Index).arg(gui_text(word.m_Name)))
            ->setData(int(sounds.size()));
        sounds.push_back(word);
    }
    int chosen = -1;
    if (!timeline_->scripted_answers.empty()) {
        chosen = timeline_->scripted_answers.front().toInt();
        timeline_->scripted_answers.erase(timeline_->scripted_answers.begin());
    } else if (QAction* a = menu.exec(QCursor::pos())) {
        chosen = a->data().toInt();
    }
    if (chosen < 0 || chosen >= int(sounds.size())) return false;
    return editor_->add_rhythm_track(sounds[size_t(chosen)]) != 0;
}

void GuiMusicView::update_actions() {
    const bool locked = !editor_ || editor_->read_only();
    for (QAction* a : actions_) {
        const int id = a->data().toInt();
        a->setEnabled(editor_ && (mvc::is_view_setting(id) || !locked));
        if (id == MVC_TYPE_NOTES)
            a->setChecked(timeline_->typing());
        else if (mvc::is_note_value(id))
            a->setChecked(mvc::note_value_checked(id, timeline_->note_value()));
        else if (id == MVC_LANE)
            a->setChecked(editor_ && editor_->current() &&
                          editor_->lanes.shown(editor_->current()->id()));
        else if (a->isCheckable())
            a->setChecked(editor_ && mvc::checked(editor_->music(), id));
    }
    const std::vector<MedtNoteValue> values = selector_values();
    for (size_t i = 0; i < values.size() && value_box_; ++i) {
        if (values[i] == timeline_->note_value()) value_box_->setCurrentIndex(int(i));
    }
}

void GuiMusicView::play_update() {
    if (!editor_) return;
    const bool locked = editor_->read_only();
    if (locked != last_locked_) {
        last_locked_ = locked;
        properties_->refresh();
        update_actions();
    }
    if (editor_->play_cursor != last_play_) {
        last_play_ = editor_->play_cursor;
        const bool follow =
            editor_->music() && (uint32_t(editor_->music()->m_ShowState) & MSHOW_AUTOSCROLL);
        if (follow && locked)
            timeline_->follow_play_cursor();
        else
            timeline_->viewport()->update();
    }
}

void GuiMusicView::changed() {
    timeline_->viewport()->update();
    if (editor_ && editor_->current() != last_track_) {
        last_track_ = editor_->current();
        properties_->refresh();
        place_property_list();
        update_actions();
    }
}

void GuiMusicView::modified() {
    if (on_modified) on_modified();
}

void GuiMusicView::finish(MgenCommand* command) {
    if (editor_ && editor_->undoing() && on_undone && !undo_noted_) {
        undo_noted_ = true;
        QTimer::singleShot(0, this, [this] {
            undo_noted_ = false;
            if (on_undone) on_undone();
        });
    }
    // Rows may have come or gone (track commands) and lengths changed.
    timeline_->relayout();
    auto* link = command ? static_cast<McmdBookLink*>(command->cast(MKIND_CMD_BOOK_LINK)) : nullptr;
    if (link && link->state == MCMD_DONE && !(link->flags & MCMD_TEST_ONLY) && on_links_changed)
        on_links_changed(link->adding ? nullptr : link->removed);
    // A renamed track: its name row (display only, so never the list's own edit) shows the new
    // name at once.
    auto* set =
        command ? static_cast<McmdSetProperty*>(command->cast(MKIND_CMD_SET_PROPERTY)) : nullptr;
    if (set && set->property == MROW_NAME) properties_->refresh();
    // The counts of notes and chords follow the edit: once after a batch of commands, and later,
    // since the list's own cell may have posted it.
    if (refresh_queued_) return;
    refresh_queued_ = true;
    QTimer::singleShot(0, this, [this] {
        refresh_queued_ = false;
        properties_->refresh();
    });
}
