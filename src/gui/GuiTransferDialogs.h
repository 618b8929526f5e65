#pragma once

#include "gui/GuiDialogs.h"

class QComboBox;

// The dialogs of bringing music in and handing it on: MIDI import (book, name, analysis),
// export (format and texts) and render (sound format, stems). Their fields are the
// application's (MAppDialog::import_midi, export_file, render_audio). The user-interface thread.

// Import a MIDI file: the music book (a list made from the read-only "books" field), the new
// music's name and what the analysis turns the pure notes into.
class GuiImportDialog : public GuiFieldDialog {
    Q_OBJECT
public:
    GuiImportDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check);
};

// Export the shown file: MIDI format 0, format 1 or a MusicXML score, and UTF-8 texts for a
// MIDI file.
class GuiExportDialog : public GuiFieldDialog {
    Q_OBJECT
public:
    GuiExportDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check);
};

// Analyse the shown music: what its pure notes become.
class GuiAnalyseDialog : public GuiFieldDialog {
    Q_OBJECT
public:
    GuiAnalyseDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check);
};

// Render the shown music: WAV, FLAC or Ogg, and whether each part gets a file of its own.
class GuiRenderDialog : public GuiFieldDialog {
    Q_OBJECT
public:
    GuiRenderDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check);
};
