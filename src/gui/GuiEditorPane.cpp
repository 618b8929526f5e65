#include "gui/GuiEditorPane.h"

#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/MFrame.h"
#include "edit/MedtMap.h"
#include "edit/MedtMusic.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiText.h"
#include "gui/views/GuiMapViews.h"
#include "gui/views/GuiMusicView.h"
#include "gui/views/GuiPropertyList.h"
#include "gui/views/GuiTimeline.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqEntity.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"

namespace {

QString about_text(const QString& library) {
    QString text = gui_fill(gui_msg::ABOUT, {QStringLiteral(KV_VERSION_STRING)});
    if (!library.isEmpty()) text += gui_fill(gui_msg::ABOUT_LIBRARY, {library.toHtmlEscaped()});
    return text;
}

void add_tracks(QTreeWidgetItem* parent, QTreeWidget* tree, MseqObject* node) {
    for (MseqObject* t = node->first_child(); t; t = t->next()) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, gui_text(t->name));
        item->setText(1, gui_text(mseq_type_name(t->type)));
        item->setText(2, QStringLiteral("0x%1").arg(t->id, 8, 16, QLatin1Char('0')));
        add_tracks(item, tree, t);
    }
}

}  // namespace

GuiEditorPane::GuiEditorPane(QWidget* parent) : QStackedWidget(parent) {
    setObjectName(QStringLiteral("kv_editor_pane"));
    about_ = new QLabel(this);
    about_->setObjectName(QStringLiteral("kv_about_view"));
    about_->setAlignment(Qt::AlignCenter);
    about_->setWordWrap(true);
    about_->setTextFormat(Qt::RichText);
    about_->setAutoFillBackground(true);
    addWidget(about_);

    music_ = new QWidget(this);
    auto* layout = new QVBoxLayout(music_);
    music_title_ = new QLabel(music_);
    tracks_ = new QTreeWidget(music_);
    tracks_->setObjectName(QStringLiteral("kv_track_list"));
    tracks_->setHeaderLabels({gui_utf8(gui_msg::TRACKS_HEAD_TRACK),
                              gui_utf8(gui_msg::TRACKS_HEAD_KIND), QStringLiteral("ID")});
    tracks_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tracks_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    tracks_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    tracks_->header()->setStretchLastSection(false);
    layout->addWidget(music_title_);
    layout->addWidget(tracks_, 1);
    addWidget(music_);

    summary_ = new QLabel(this);
    summary_->setAlignment(Qt::AlignCenter);
    summary_->setWordWrap(true);
    addWidget(summary_);

    music_view_ = new GuiMusicView(this);
    addWidget(music_view_);
    chord_view_ = new GuiChordMapView(this);
    addWidget(chord_view_);
    stage_view_ = new GuiStageMapView(this);
    addWidget(stage_view_);
    const auto show_status = [this](const QString& text) {
        if (auto* w = qobject_cast<QMainWindow*>(window())) w->statusBar()->showMessage(text, 8000);
    };
    music_view_->status = show_status;
    chord_view_->status = show_status;
    stage_view_->status = show_status;
    music_view_->on_modified = [this] {
        MFrame* frame = MFrame::get();
        if (frame && file_) frame->port().refresh(MAppRefresh::edit_entry, nullptr, file_);
    };
    music_view_->on_undone = [this] {
        MFrame* frame = MFrame::get();
        if (frame && file_) frame->settle_modified(file_);
    };
    // The library tree shows the music book's links as they come and go; a deleted link the
    // tree had selected leaves the selection first.
    music_view_->on_links_changed = [](const void* removed) {
        MFrame* frame = MFrame::get();
        if (!frame) return;
        if (removed && frame->selected_node() == removed) frame->select_node(nullptr);
        frame->port().refresh(MAppRefresh::room_tree, nullptr, nullptr);
    };
    music_view_->properties()->dragged_leaf = []() -> const MseqObject* {
        MFrame* frame = MFrame::get();
        return frame ? frame->selected_node() : nullptr;
    };
    music_view_->timeline()->selected_leaf = [] {
        MFrame* frame = MFrame::get();
        return frame ? frame->selected_node() : nullptr;
    };
    // The bar ruler moves the shown music's play cursor; while it plays, the run jumps there.
    music_view_->timeline()->ruler_tick = [](int32_t tick) {
        if (MFrame* frame = MFrame::get()) frame->move_play_cursor(tick);
    };
    // The map views are locked while a run reads the model, as the music editors are.
    auto* lock_poll = new QTimer(this);
    lock_poll->setInterval(100);
    connect(lock_poll, &QTimer::timeout, this, [this] {
        MFrame* frame = MFrame::get();
        const bool playing = frame && frame->playing();
        chord_view_->set_locked(playing);
        stage_view_->set_locked(playing);
    });
    lock_poll->start();
    show_file(nullptr, MAppView::about, QString());
}

void GuiEditorPane::attach_view(const std::vector<QMenu*>& menus) {
    auto* w = qobject_cast<QMainWindow*>(window());
    if (!w) return;
    for (QMenu* m : menus)
        w->menuBar()->addMenu(m);
}

bool GuiEditorPane::show_file(MseqEntity* file, MAppView view, const QString& library) {
    file_ = file;
    MgenRef* editor = file ? MseqDesk::instance().editor_of(file) : nullptr;
    MgenRef* music_editor = editor ? editor->cast(MKIND_EDT_MUSIC_INVOKER) : nullptr;
    if (view != MAppView::music || !music_editor) music_view_->set_editor(nullptr);
    chord_view_->set_map(nullptr, nullptr);
    stage_view_->set_map(nullptr);
    if (!file || view == MAppView::about) {
        file_ = nullptr;
        about_->setText(about_text(library));
        setCurrentWidget(about_);
        return true;
    }
    if (view == MAppView::chord) {
        if (auto* map = file->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD)) {
            chord_view_->set_map(map, port);
            setCurrentWidget(chord_view_);
            attach_view(chord_view_->menus());
            return true;
        }
    }
    if (view == MAppView::stage) {
        if (auto* map = file->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE)) {
            stage_view_->set_map(map);
            setCurrentWidget(stage_view_);
            attach_view(stage_view_->menus());
            return true;
        }
    }
    if (view == MAppView::music) {
        auto* music = file->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        if (!music) {
            show_file(nullptr, MAppView::about, library);
            return false;
        }
        music_title_->setText(
            gui_fill(gui_msg::MUSIC_SUMMARY,
                     {gui_text(file->name).toHtmlEscaped(), QString::number(music->m_Tempo),
                      QString::number(music->m_Transpose)}));
        tracks_->clear();
        if (music->root()) add_tracks(nullptr, tracks_, music->root());
        tracks_->expandAll();
        // The music view when the music has its editor; the plain track tree otherwise.
        if (music_editor) {
            music_view_->set_editor(static_cast<MedtMusicInvoker*>(music_editor));
            setCurrentWidget(music_view_);
            attach_view(music_view_->menus());
        } else {
            setCurrentWidget(music_);
        }
        return true;
    }
    summary_->setText(gui_utf8("<h3>%1</h3><p>%2</p><p>%3</p>")
                          .arg(gui_text(file->name).toHtmlEscaped(),
                               gui_text(mseq_type_name(file->type())).toHtmlEscaped(),
                               gui_path(file->full_path).toHtmlEscaped()));
    setCurrentWidget(summary_);
    return true;
}
