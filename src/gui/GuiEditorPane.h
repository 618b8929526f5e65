#pragma once

#include <QStackedWidget>

class QLabel;
class QTreeWidget;
class MseqEntity;

// The editor pane: the about view when no file is shown, the track list of a music or phrase,
// or a summary of any other file (stage and chord maps get their editors later). The
// user-interface thread.
class GuiEditorPane : public QStackedWidget {
    Q_OBJECT
public:
    explicit GuiEditorPane(QWidget* parent);

    // Shows `file` (nullptr: the about view). `library` is the open library's path (CP932) for
    // the about view.
    void show_file(MseqEntity* file, const QString& library);
    // The file shown; nullptr for the about view.
    const MseqEntity* file() const { return file_; }
    // The track list of the music view.
    QTreeWidget* track_list() const { return tracks_; }

private:
    QLabel* about_;
    QWidget* music_;
    QLabel* music_title_;
    QTreeWidget* tracks_;
    QLabel* summary_;
    MseqEntity* file_ = nullptr;
};
