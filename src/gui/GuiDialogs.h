#pragma once

#include <QDialog>
#include <map>
#include <string>
#include <vector>

#include "app/MAppUserPort.h"

class QLineEdit;
class QStackedWidget;
class QWidget;

// A dialog whose values are the application's named fields. OK hands the values to the
// application's check; a refused dialog stays open with the named field focused and its text
// selected. The user-interface thread.
class GuiFieldDialog : public QDialog {
    Q_OBJECT
public:
    GuiFieldDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check);

    // The widget that shows the field `name`; nullptr when the dialog has none.
    QWidget* field_widget(const std::string& name) const;
    // The field's current text (line edits) or value (check boxes "0"/"1", lists the item's
    // value); empty for unknown fields.
    CkvString value(const std::string& name) const;
    // Sets a field's text or value; nothing for unknown fields.
    void set_value(const std::string& name, const CkvString& value);

    void done(int result) override;

protected:
    // Registers the widget of a field: a QLineEdit, QCheckBox or QComboBox (item data = value).
    void bind(const std::string& name, QWidget* widget);
    // Puts every bound field's value from `fields_` into its widget.
    void load_fields();
    // Collects every bound widget's value into `fields_`.
    void store_fields();
    // The OK/Cancel row; OK is the default button, Escape cancels.
    QWidget* make_buttons();

    MAppFields& fields_;
    MAppDialogCheck check_;
    std::vector<std::pair<std::string, QWidget*>> widgets_;
};

// Create library: parent folder with a folder browser, folder name, file name and the resulting
// path. The user-interface thread.
class GuiCreateRoomDialog : public GuiFieldDialog {
    Q_OBJECT
public:
    GuiCreateRoomDialog(QWidget* parent, MAppUserPort& port, MAppFields& fields,
                        const MAppDialogCheck& check);

private:
    void update_full();
    QLineEdit* parent_;
    QLineEdit* folder_;
    QLineEdit* file_;
    QLineEdit* full_;
};

// New music: page 1 creates a new folder with the four files in it; page 2 names each file.
// The user-interface thread.
class GuiNewMusicDialog : public GuiFieldDialog {
    Q_OBJECT
public:
    GuiNewMusicDialog(QWidget* parent, MAppUserPort& port, MAppFields& fields,
                      const MAppDialogCheck& check);
    // Shows page 1 or 2 (the "page" field follows).
    void show_page(int page);
    // The page shown: 1 or 2.
    int page() const;

private:
    QStackedWidget* pages_;
    QLineEdit* page_field_;  // hidden: carries the "page" value
};

// Settings: output device, built-in synthesizer and its port, the configuration flags and the
// autosave interval.
// `devices` are the MIDI output ports by index, `synth_ports` the synthesizer's port names,
// `inputs` the MIDI input ports by name.
// The user-interface thread.
class GuiSettingsDialog : public GuiFieldDialog {
    Q_OBJECT
public:
    GuiSettingsDialog(QWidget* parent, MAppFields& fields, const MAppDialogCheck& check,
                      const std::vector<std::string>& devices,
                      const std::vector<std::string>& synth_ports,
                      const std::vector<std::string>& inputs);
};
