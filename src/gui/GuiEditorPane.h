#pragma once

#include <QStackedWidget>
#include <vector>

#include "app/MFrame.h"

class QLabel;
class QTreeWidget;
class GuiChordMapView;
class GuiMusicView;
class GuiStageMapView;
class MedtUserPort;
class MseqEntity;

// The editor pane: the about view when no file is shown, the track list of a music or phrase,
// or a summary of any other file (stage and chord maps get their editors later). The
// user-interface thread.
class GuiEditorPane : public QStackedWidget {
    Q_OBJECT
public:
    explicit GuiEditorPane(QWidget* parent);

    // Shows `file` in the view the application chose for it (nullptr or `about`: the about
    // view). `library` is the open library's path for the about view. False, with the about
    // view shown, when that view cannot show the file.
    bool show_file(MseqEntity* file, MAppView view, const QString& library);
    // The file shown; nullptr for the about view.
    const MseqEntity* file() const { return file_; }
    // The track list of the music view.
    QTreeWidget* track_list() const { return tracks_; }
    // The editor views (see src/gui/views).
    GuiMusicView* music_view() const { return music_view_; }
    GuiChordMapView* chord_view() const { return chord_view_; }
    GuiStageMapView* stage_view() const { return stage_view_; }
    // The port the map views ask their questions through; set by the main window.
    MedtUserPort* port = nullptr;

private:
    QLabel* about_;
    QWidget* music_;
    QLabel* music_title_;
    QTreeWidget* tracks_;
    QLabel* summary_;
    MseqEntity* file_ = nullptr;
    GuiMusicView* music_view_ = nullptr;
    GuiChordMapView* chord_view_ = nullptr;
    GuiStageMapView* stage_view_ = nullptr;
    // Puts the shown view's menus on the main window's menu bar and its texts in the status bar.
    void attach_view(const std::vector<class QMenu*>& menus);
};
