#include "gui/GuiMainWindow.h"

#include <QAbstractItemDelegate>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/MAppAudition.h"
#include "app/MAppTreeWidthSetting.h"
#include "app/MFramePlayback.h"
#include "gui/GuiEditList.h"
#include "gui/GuiEditorPane.h"
#include "gui/GuiIcons.h"
#include "gui/GuiRoomTree.h"
#include "gui/GuiText.h"
#include "gui/views/GuiMusicView.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqRoom.h"
#include "model/track/MseqBarBeat.h"

namespace {

constexpr int kIdRole = Qt::UserRole;
// How often the window takes the player's notifications: often enough for a smooth position
// display, rarely enough to cost nothing while idle.
constexpr int kTickMs = 25;
// How long an editor's notice stays in the status bar.
constexpr int kStatusMs = 4000;

const MAppMenu kBarMenus[4] = {MAppMenu::file, MAppMenu::library, MAppMenu::edit_list,
                               MAppMenu::tools};

// The icon of a tool-bar command: its name in the desktop's icon theme and the style's pixmap
// when the theme has none.
struct ToolIcon {
    const char* theme;
    QStyle::StandardPixmap fallback;
};

ToolIcon icon_of(uint32_t id) {
    switch (id) {
        case ID_ROOM_OPEN:
            return {"document-open", QStyle::SP_DialogOpenButton};
        case ID_NEW_MUSIC_BUTTON:
            return {"document-new", QStyle::SP_FileDialogNewFolder};
        case ID_FILE_SAVE:
            return {"document-save", QStyle::SP_DialogSaveButton};
        case ID_FILE_SAVE_ALL:
            return {"document-save-all", QStyle::SP_DriveFDIcon};
        case ID_EXPORT_MIDI:
            return {"document-export", QStyle::SP_ArrowRight};
        case ID_LINK_DELETE:
            return {"edit-delete", QStyle::SP_TrashIcon};
        case ID_ADD_FILE_LINK:
            return {"insert-link", QStyle::SP_FileLinkIcon};
        case ID_LINK_INFO:
            return {"dialog-information", QStyle::SP_FileDialogInfoView};
        case ID_TOOL_SETTINGS:
            return {"preferences-system", QStyle::SP_ComputerIcon};
        case ID_TOOL_MANUAL:
            return {"help-contents", QStyle::SP_MessageBoxQuestion};
        case ID_PLAY:
            return {"media-playback-start", QStyle::SP_MediaPlay};
        case ID_STOP:
            return {"media-playback-stop", QStyle::SP_MediaStop};
        case ID_PAUSE:
            return {"media-playback-pause", QStyle::SP_MediaPause};
        case ID_PLAY_FROM_CURSOR:
            return {"media-seek-forward", QStyle::SP_MediaSeekForward};
        case ID_GO_START:
            return {"media-skip-backward", QStyle::SP_MediaSkipBackward};
        case ID_GO_END:
            return {"media-skip-forward", QStyle::SP_MediaSkipForward};
        case ID_AUDITION:
            return {"audio-volume-high", QStyle::SP_MediaVolume};
        case ID_STEP_RECORD:
            return {"input-keyboard", QStyle::SP_ArrowDown};
        case ID_LIVE_RECORD:
            return {"media-record", QStyle::SP_DialogNoButton};
        default:
            return {"text-x-generic", QStyle::SP_FileIcon};
    }
}

// "[bar-beat-tick]" of a position, counting bars and beats from 1 (4/4, 480 ticks a beat).
QString position_text(int32_t tick) {
    const MseqBarBeat p = mseq_bar_beat(tick);
    return QStringLiteral("[%1-%2-%3]")
        .arg(p.bar, 3, 10, QLatin1Char('0'))
        .arg(p.beat)
        .arg(p.tick, 3, 10, QLatin1Char('0'));
}

}  // namespace

GuiMainWindow::GuiMainWindow(MFrame& frame, MAppUserPort& port) : frame_(frame), port_(port) {
    setObjectName(QStringLiteral("kv_main_window"));
    build_panes();
    build_toolbars();
    build_menus();
    build_accelerators();
    statusBar()->setObjectName(QStringLiteral("kv_status_bar"));
    room_tree_->fill(frame_);
    edit_list_->fill(frame_);
    show_editor();
    refresh(MAppRefresh::menus, nullptr, nullptr);
    refresh(MAppRefresh::title, nullptr, nullptr);
    update_link_info();
    update_position();
    resize(1100, 720);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &GuiMainWindow::tick);
    timer_->start(kTickMs);
}

GuiMainWindow::~GuiMainWindow() = default;

// ---- Building ----

void GuiMainWindow::build_panes() {
    room_tree_ = new GuiRoomTree(this);
    edit_list_ = new GuiEditList(this);
    editor_ = new GuiEditorPane(this);
    editor_->port = &port_;
    split_v_ = new QSplitter(Qt::Vertical, this);
    split_v_->setObjectName(QStringLiteral("kv_split_v"));
    split_v_->addWidget(room_tree_);
    split_v_->addWidget(edit_list_);
    split_h_ = new QSplitter(Qt::Horizontal, this);
    split_h_->setObjectName(QStringLiteral("kv_split_h"));
    split_h_->addWidget(split_v_);
    split_h_->addWidget(editor_);
    split_h_->setStretchFactor(1, 1);
    setCentralWidget(split_h_);

    connect(room_tree_, &QTreeWidget::currentItemChanged, this, [this] { on_room_selection(); });
    connect(room_tree_, &QTreeWidget::itemActivated, this, [this] { run_command(ID_LINK_OPEN); });
    // Opening the link toggles the branch; the tree's own double-click would toggle it back.
    room_tree_->setExpandsOnDoubleClick(false);
    for (QTreeWidget* tree :
         {static_cast<QTreeWidget*>(room_tree_), static_cast<QTreeWidget*>(edit_list_)}) {
        connect(tree, &QTreeWidget::itemChanged, this,
                [this](QTreeWidgetItem* item) { finish_rename(item); });
        // An edit left with Escape shows the item as it was.
        connect(tree->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
            QTimer::singleShot(0, this, [this] {
                if (!renaming_) return;
                MseqObject* node = renaming_node_;
                renaming_ = nullptr;
                renaming_node_ = nullptr;
                room_tree_->update_node(node);
                edit_list_->fill(frame_);
            });
        });
    }
    connect(edit_list_, &QTreeWidget::currentItemChanged, this, [this] { on_edit_selection(); });
    connect(room_tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QTreeWidgetItem* item = room_tree_->itemAt(at)) room_tree_->setCurrentItem(item);
        QMenu menu(this);
        fill_menu(&menu, MAppMenu::library);
        menu.exec(room_tree_->viewport()->mapToGlobal(at));
    });
    connect(edit_list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QTreeWidgetItem* item = edit_list_->itemAt(at)) edit_list_->setCurrentItem(item);
        QMenu menu(this);
        fill_menu(&menu, MAppMenu::edit_list);
        menu.exec(edit_list_->viewport()->mapToGlobal(at));
    });

    // The keys of the two trees: each tree's own delete and rename.
    room_tree_->installEventFilter(this);
    edit_list_->installEventFilter(this);
}

// Beside the live-record button: the strength of its quantisation, 0 % (as played) to 100 %
// (on the track's grid), which the next take is entered with.
void GuiMainWindow::add_strength_box() {
    strength_ = new QSpinBox(player_bar_);
    strength_->setObjectName(QStringLiteral("kv_record_strength"));
    strength_->setRange(0, 100);
    strength_->setSingleStep(10);
    strength_->setSuffix(QStringLiteral(" %"));
    strength_->setValue(frame_.midi_input().strength());
    strength_->setToolTip(gui_utf8(gui_msg::STRENGTH_TIP));
    strength_->setStatusTip(gui_fill(gui_msg::STRENGTH_STATUS, {}));
    connect(strength_, qOverload<int>(&QSpinBox::valueChanged), this,
            [this](int percent) { frame_.midi_input().set_strength(percent); });
    player_bar_->addWidget(strength_);
}

void GuiMainWindow::build_toolbars() {
    room_dropdown_ = new QMenu(this);
    connect(room_dropdown_, &QMenu::aboutToShow, this,
            [this] { fill_menu(room_dropdown_, MAppMenu::room_dropdown); });
    create_dropdown_ = new QMenu(this);
    connect(create_dropdown_, &QMenu::aboutToShow, this,
            [this] { fill_menu(create_dropdown_, MAppMenu::create); });

    auto make = [this](QToolBar* bar, uint32_t id) {
        const CkvString label = mapp_commands::label(id);
        const ToolIcon icon = icon_of(id);
        QAction* a =
            bar->addAction(gui_theme_icon(icon.theme, icon.fallback, this), gui_button_text(label));
        a->setData(id);
        a->setStatusTip(gui_text(mapp_commands::status_text(id)));
        a->setToolTip(gui_button_text(label));
        connect(a, &QAction::triggered, this, [this, id] { run_command(id); });
        tool_actions_[id] = a;
        return a;
    };
    room_bar_ = addToolBar(gui_utf8(gui_msg::BAR_LIBRARY));
    room_bar_->setObjectName(QStringLiteral("kv_room_bar"));
    for (uint32_t id : mapp_commands::room_toolbar()) {
        if (id == 0) {
            room_bar_->addSeparator();
            continue;
        }
        QAction* a = make(room_bar_, id);
        if (id == ID_LINK_INFO) a->setCheckable(true);
        QMenu* dropdown = id == ID_ROOM_OPEN       ? room_dropdown_
                          : id == ID_ADD_FILE_LINK ? create_dropdown_
                                                   : nullptr;
        if (dropdown) {
            a->setMenu(dropdown);
            if (auto* button = qobject_cast<QToolButton*>(room_bar_->widgetForAction(a)))
                button->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
    player_bar_ = addToolBar(gui_utf8(gui_msg::BAR_PLAYER));
    player_bar_->setObjectName(QStringLiteral("kv_player_bar"));
    for (uint32_t id : mapp_commands::player_toolbar()) {
        QAction* a = make(player_bar_, id);
        if (mapp_commands::is_toggle(id)) a->setCheckable(true);
        if (id == ID_LIVE_RECORD) add_strength_box();
    }
    position_ = new QLabel(player_bar_);
    position_->setObjectName(QStringLiteral("kv_position"));
    position_->setToolTip(gui_utf8(gui_msg::POSITION_TIP));
    position_->setContentsMargins(8, 0, 8, 0);
    QFont mono = position_->font();
    mono.setFamily(QStringLiteral("monospace"));
    position_->setFont(mono);
    player_bar_->addWidget(position_);

    addToolBarBreak();
    link_bar_ = addToolBar(gui_utf8(gui_msg::BAR_LINK_INFO));
    link_bar_->setObjectName(QStringLiteral("kv_link_bar"));
    link_info_ = new QLabel(link_bar_);
    link_info_->setObjectName(QStringLiteral("kv_link_info"));
    link_info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    link_bar_->addWidget(link_info_);
}

void GuiMainWindow::build_menus() {
    const std::vector<CkvString> labels = mapp_commands::bar_labels();
    for (int i = 0; i < 4; ++i) {
        menus_[i] = menuBar()->addMenu(gui_text(labels[static_cast<size_t>(i)]));
        QMenu* menu = menus_[i];
        const MAppMenu which = kBarMenus[i];
        connect(menu, &QMenu::aboutToShow, this, [this, menu, which] { fill_menu(menu, which); });
    }
    base_menus_ = menu_count();
}

void GuiMainWindow::fill_menu(QMenu* menu, MAppMenu which) {
    // Sub-menus are rebuilt with their parent.
    for (QAction* a : menu->actions()) {
        if (QMenu* sub = a->menu()) sub->deleteLater();
    }
    menu->clear();
    for (const MAppMenuEntry& e : frame_.menu(which)) {
        switch (e.kind) {
            case MAppMenuEntry::separator:
                menu->addSeparator();
                break;
            case MAppMenuEntry::submenu: {
                QMenu* sub = menu->addMenu(gui_text(e.label));
                fill_menu(sub, e.sub);
                break;
            }
            case MAppMenuEntry::command: {
                // Recent entries show a path: no mnemonic in it.
                QString label = gui_text(e.label);
                if (e.id >= ID_ROOM_RECENT_FIRST && e.id <= ID_ROOM_RECENT_LAST)
                    label.replace(QLatin1Char('&'), QStringLiteral("&&"));
                QAction* a = menu->addAction(label);
                a->setData(e.id);
                a->setStatusTip(gui_text(mapp_commands::status_text(e.id)));
                a->setEnabled(e.enabled);
                if (e.id == ID_LINK_INFO || mapp_commands::is_toggle(e.id)) {
                    a->setCheckable(true);
                    a->setChecked(e.checked);
                }
                const uint32_t id = e.id;
                // Later: the command may rebuild this very menu.
                connect(a, &QAction::triggered, this, [this, id] {
                    QTimer::singleShot(0, this, [this, id] { run_command(id); });
                });
                break;
            }
        }
    }
}

void GuiMainWindow::build_accelerators() {
    // The keys are the window's: they act in every pane, whichever widget has the focus (a text
    // field still takes the keys it types).
    std::map<uint32_t, QList<QKeySequence>> keys;
    for (const MAppAccelerator& key : mapp_commands::accelerators())
        keys[key.id].append(
            QKeySequence::fromString(QString::fromLatin1(key.keys), QKeySequence::PortableText));
    for (const auto& [id, sequences] : keys) {
        QAction* a = nullptr;
        auto it = tool_actions_.find(id);
        if (it != tool_actions_.end()) {
            a = it->second;
        } else {
            a = new QAction(this);
            a->setData(id);
            const uint32_t command = id;
            connect(a, &QAction::triggered, this, [this, command] { run_command(command); });
            addAction(a);
            tool_actions_[id] = a;
        }
        a->setShortcuts(sequences);
        a->setShortcutContext(Qt::WindowShortcut);
    }
}

// ---- State ----

void GuiMainWindow::update_actions() {
    // F7 and F8 are the music view's: they act while it is shown, wherever the focus is.
    const bool music = editor_->currentWidget() == editor_->music_view();
    for (auto& [id, action] : tool_actions_) {
        const bool view_key = id == ID_MUSIC_F7 || id == ID_MUSIC_F8;
        action->setEnabled(view_key ? music : frame_.enabled(id));
        if (action->isCheckable()) action->setChecked(frame_.checked(id));
    }
    link_bar_->setVisible(frame_.link_info_shown());
}

void GuiMainWindow::update_link_info() {
    const MseqObject* node = frame_.selected_node();
    if (!node) {
        link_info_->setText(gui_utf8(gui_msg::NO_LINK_SELECTED));
        return;
    }
    link_info_->setText(
        gui_fill(gui_msg::LINK_INFO,
                 {QStringLiteral("%1").arg(node->id, 8, 16, QLatin1Char('0')), gui_text(node->name),
                  gui_text(mseq_type_name(node->type)), gui_link_path(node)}));
}

void GuiMainWindow::update_position() {
    const MseqEntity* file = frame_.shown_file();
    position_->setText(position_text(file ? frame_.play_cursor(file) : 0));
}

void GuiMainWindow::show_editor() {
    // The menus after the application's four belong to the view that is leaving.
    const QList<QAction*> bar = menuBar()->actions();
    for (qsizetype i = base_menus_; i < bar.size(); ++i)
        menuBar()->removeAction(bar[i]);
    const MseqRoom* room = frame_.room();
    if (!editor_->show_file(frame_.shown_file(), frame_.shown_view(),
                            room ? gui_path(room->full_path) : QString())) {
        // The application warns and selects the about view, which brings us back here.
        frame_.view_failed();
        return;
    }
    QTreeWidgetItem* item = edit_list_->item_at(frame_.edit_selection());
    if (item && edit_list_->currentItem() != item) {
        const QSignalBlocker quiet(edit_list_);
        edit_list_->setCurrentItem(item);
    }
    update_position();
}

void GuiMainWindow::refresh(MAppRefresh what, const MseqObject* node, const MseqEntity* entity) {
    switch (what) {
        case MAppRefresh::room_tree:
            room_tree_->fill(frame_);
            update_link_info();
            break;
        case MAppRefresh::room_item:
            room_tree_->update_node(node);
            if (QTreeWidgetItem* item = room_tree_->item_of(node)) {
                room_tree_->select_node(node);
                // Opening a link toggles its branch; a new or renamed item is shown open.
                item->setExpanded(running_ == ID_LINK_OPEN ? !item->isExpanded() : true);
            }
            update_link_info();
            break;
        case MAppRefresh::edit_list:
            edit_list_->fill(frame_);
            break;
        case MAppRefresh::edit_entry:
            edit_list_->update_entity(frame_, entity);
            room_tree_->update_node(frame_.selected_node());
            break;
        case MAppRefresh::editor_view:
            show_editor();
            break;
        case MAppRefresh::title:
            setWindowTitle(gui_text(frame_.title()));
            // A save changes the modified marks of the entries.
            for (const MAppEditEntry& e : frame_.edit_list())
                edit_list_->update_entity(frame_, e.entity.get());
            break;
        case MAppRefresh::menus:
            for (int i = 0; i < 4; ++i)
                fill_menu(menus_[i], kBarMenus[i]);
            menuBar()->setVisible(frame_.show_menu_bar());
            statusBar()->setVisible(mseq_config().m_ShowStatusBar != 0);
            break;
        case MAppRefresh::play_state:
        case MAppRefresh::play_cursor:
            update_position();
            break;
        case MAppRefresh::raise:
            bring_to_front();
            break;
    }
    update_actions();
}

// ---- Events ----

bool GuiMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != room_tree_ && watched != edit_list_))
        return QMainWindow::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool room = watched == room_tree_;
    if (key == Qt::Key_Delete) {
        run_command(room ? ID_LINK_DELETE : ID_EDIT_CLOSE);
        return true;
    }
    if (key == Qt::Key_F2) {
        run_command(room ? ID_LINK_RENAME : ID_EDIT_RENAME);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool GuiMainWindow::run_command(uint32_t id) {
    // F7 and F8 belong to the music view.
    if ((id == ID_MUSIC_F7 || id == ID_MUSIC_F8) && !closing_ &&
        editor_->currentWidget() == editor_->music_view())
        return editor_->music_view()->run_command(static_cast<int>(id));
    if (closing_ || !frame_.enabled(id)) return false;
    // Exit is closing the window: the close runs the exit flow, whoever asked for it.
    if (id == ID_APP_EXIT) return close();
    if (id == ID_LINK_RENAME || id == ID_EDIT_RENAME) {
        const bool room = id == ID_LINK_RENAME;
        QTreeWidget* tree = room ? static_cast<QTreeWidget*>(room_tree_) : edit_list_;
        QTreeWidgetItem* item = tree->currentItem();
        MseqObject* node = nullptr;
        if (room) {
            node = GuiRoomTree::node_of(item);
        } else if (const int i = GuiEditList::index_of(item); i >= 0) {
            node = frame_.edit_list()[static_cast<size_t>(i)].node;
        }
        if (!node || node == frame_.room_node()) return false;
        frame_.run(id);
        start_rename(tree, item, node);
        return true;
    }
    const uint32_t outer = running_;
    running_ = id;
    const bool ran = frame_.run(id);
    running_ = outer;
    update_actions();
    return ran;
}

void GuiMainWindow::start_rename(QTreeWidget* tree, QTreeWidgetItem* item, MseqObject* node) {
    {
        const QSignalBlocker quiet(tree);
        item->setText(0, gui_text(node->name));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    renaming_ = item;
    renaming_node_ = node;
    tree->editItem(item, 0);
}

void GuiMainWindow::finish_rename(QTreeWidgetItem* item) {
    if (!renaming_ || item != renaming_) return;
    MseqObject* node = renaming_node_;
    const QString name = item->text(0).trimmed();
    renaming_ = nullptr;
    renaming_node_ = nullptr;
    // A refused name (empty, characters CP932 or a file name cannot hold) leaves the old one.
    if (name.isEmpty() || !gui_cp932_accepts(this, name) ||
        !frame_.rename_node(node, gui_cp932(name))) {
        room_tree_->update_node(node);
        edit_list_->fill(frame_);
    } else {
        // The book or library that stores the name is now modified.
        room_tree_->update_node(mseq_find_book_ancestor(node));
        room_tree_->update_node(frame_.room_node());
    }
    update_link_info();
    update_actions();
}

void GuiMainWindow::on_room_selection() {
    frame_.select_node(GuiRoomTree::node_of(room_tree_->currentItem()));
    update_link_info();
    update_actions();
}

void GuiMainWindow::on_edit_selection() {
    QTreeWidgetItem* item = edit_list_->currentItem();
    if (!item) return;
    frame_.select_edit(GuiEditList::index_of(item));
    update_actions();
}

void GuiMainWindow::tick() {
    if (closing_) return;
    frame_.pump();
    pump_audition_on_time();
    if (raise_poll_ && raise_poll_()) bring_to_front();
    if (frame_.playing()) update_position();
}

void GuiMainWindow::pump_audition_on_time() {
    MAppAudition* audition = frame_.playback().audition();
    const int32_t due = audition && !audition_pump_ ? audition->next_due_ms() : -1;
    if (due < 0 || due >= kTickMs) return;
    audition_pump_ = true;
    QTimer::singleShot(due, Qt::PreciseTimer, this, [this] {
        audition_pump_ = false;
        if (closing_) return;
        if (MAppAudition* a = frame_.playback().audition()) a->pump();
        pump_audition_on_time();
    });
}

void GuiMainWindow::show_status(const QString& text) {
    statusBar()->showMessage(text, kStatusMs);
}

void GuiMainWindow::bring_to_front() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void GuiMainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !closing_)
        frame_.autosave();
}

void GuiMainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    if (!frame_.exit(placement())) {
        event->ignore();
        return;
    }
    closing_ = true;
    timer_->stop();
    // The configuration keeps its bytes; the tree's width goes to its own file.
    mapp_save_tree_width_setting(split_h_->sizes().value(0));
    event->accept();
}

void GuiMainWindow::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (painted_) return;
    painted_ = true;
    // The frame is on the screen once this round of painting has been flushed.
    if (first_paint_) QTimer::singleShot(0, this, [this] { first_paint_(); });
}

// ---- Placement ----

void GuiMainWindow::restore_placement() {
    const MAppPlacement p = frame_.stored_placement();
    if (p.valid) {
        const int w = p.right - p.left;
        const int h = p.bottom - p.top;
        // A rectangle too small to work in is a damaged setting: keep the default size.
        if (w >= 200 && h >= 150) setGeometry(p.left, p.top, w, h);
        if (p.show == 3) setWindowState(windowState() | Qt::WindowMaximized);
    }
    const int tree = tree_width();
    split_h_->setSizes({tree, std::max(1, width() - tree)});
    split_v_->setSizes({p.split_v, std::max(1, height() - p.split_v)});
}

int GuiMainWindow::tree_width() const {
    // The width the user left the tree at; without one, the width its names need.
    const MAppTreeWidthSetting stored = mapp_load_tree_width_setting();
    if (stored.width > 0) return stored.width;
    const int chrome = 2 * room_tree_->frameWidth() +
                       room_tree_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
    return mapp_fit_tree_width(room_tree_->names_width(), chrome);
}

MAppPlacement GuiMainWindow::placement() const {
    MAppPlacement p;
    p.valid = true;
    const bool maximized = isMaximized();
    p.show = maximized ? 3 : 1;
    p.restore_to_maximized = maximized;
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    p.left = r.x();
    p.top = r.y();
    p.right = r.x() + r.width();
    p.bottom = r.y() + r.height();
    p.split_h = split_h_->sizes().value(0);
    p.split_v = split_v_->sizes().value(0);
    return p;
}

// ---- Inspection ----

QMenu* GuiMainWindow::bar_menu(int index) const {
    const QList<QAction*> bar = menuBar()->actions();
    return index >= 0 && index < bar.size() ? bar[index]->menu() : nullptr;
}

int GuiMainWindow::menu_count() const {
    return static_cast<int>(menuBar()->actions().size());
}

QAction* GuiMainWindow::menu_action(QMenu* menu, uint32_t id) {
    if (!menu) return nullptr;
    for (int i = 0; i < 4; ++i) {
        if (menus_[i] == menu) fill_menu(menu, kBarMenus[i]);
    }
    if (menu == room_dropdown_) fill_menu(menu, MAppMenu::room_dropdown);
    std::function<QAction*(QMenu*)> find = [&](QMenu* m) -> QAction* {
        for (QAction* a : m->actions()) {
            if (a->menu()) {
                if (QAction* found = find(a->menu())) return found;
            } else if (!a->isSeparator() && a->data().toUInt() == id) {
                return a;
            }
        }
        return nullptr;
    };
    return find(menu);
}

QAction* GuiMainWindow::tool_action(uint32_t id) const {
    auto it = tool_actions_.find(id);
    return it == tool_actions_.end() ? nullptr : it->second;
}
