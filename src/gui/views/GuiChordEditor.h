#pragma once

#include <QDialog>
#include <vector>

#include "edit/map/MedtChordEditor.h"

class QAbstractButton;
class QLabel;
class QToolButton;

// The chord editor pop-up: the octave row, the chord-note-key switch, the twelve roots, the 21
// chord types, the inversion buttons, a grid of 60 key cells (five octaves around the sounding
// root; right click marks a key that chord-degree notes leave out) and "セット", "コピー",
// "貼付け", "クリア". It works on the editing layer's working copy; accepting the dialog is
// "セット". The user-interface thread.
class GuiChordEditor : public QDialog {
    Q_OBJECT
public:
    GuiChordEditor(const MseqBlockChord& chord, int32_t key, QWidget* parent);

    // The editor's model: the working copy that "セット" hands over.
    MedtChordEditor& model() { return model_; }
    // The buttons by their text (the root letters, type names, "セット", ...), for tests.
    QAbstractButton* button(const QString& text) const;
    // The key cell at `distance` semitones from the sounding root (-24 to 35).
    QToolButton* key_cell(int distance) const;

private:
    void refresh();

    MedtChordEditor model_;
    QLabel* name_ = nullptr;
    std::vector<QToolButton*> octaves_, relative_, roots_, types_, keys_;
};
