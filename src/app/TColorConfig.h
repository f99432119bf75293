#pragma once

#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QSize>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace platform {
class Dialogs;
}

// The colour configuration window: edits a working copy of one window group's colour
// scheme, or of all five at once, and shows it on sample controls. Only Ok puts the copy
// into the settings; Cancel, Escape and the frame's close button leave every scheme as
// it was. Built anew for each use.
class TColorConfig : public QDialog {
    Q_OBJECT

public:
    // Target 1 to 5 is one window group (main, edit, search, report, configure), 6 all
    // five; a target outside 1 ... 6 is taken as 6. The working copy starts from the
    // target's scheme, for 6 from the main window's. `settings` and `dialogs` must
    // outlive the window.
    TColorConfig(settings::Settings& settings, int target, platform::Dialogs& dialogs,
                 const settings::SharedFonts& fonts, double scale, QSize screen, QWidget* parent = nullptr);

    int target() const { return m_target; }
    const settings::ColorScheme& workingCopy() const { return m_work; }
    // True when Ok changed the main window's scheme, which is then to be repainted at once.
    bool mainSchemeChanged() const { return result() == Accepted && (m_target == 1 || m_target == 6); }

    // Opens the colour dialog on the working copy's colour `which` and keeps the colour
    // chosen; a cancelled dialog changes nothing.
    void pickColor(settings::SchemeColor which);
    void ColorSetsChange(int entry);
    void OkClick();

    QGroupBox* WindowGroup = nullptr;
    QGroupBox* RadioGroup = nullptr;
    QGroupBox* CheckGroup = nullptr;
    QGroupBox* EditGroup = nullptr;
    QGroupBox* ComboGroup = nullptr;
    QGroupBox* ListGroup = nullptr;
    QPushButton* MainBack = nullptr;
    QPushButton* MajorTitles = nullptr;
    QPushButton* MinorTitles = nullptr;
    QPushButton* RadioText = nullptr;
    QPushButton* RadioBack = nullptr;
    QPushButton* CheckText = nullptr;
    QPushButton* CheckBack = nullptr;
    QPushButton* EditBoxText = nullptr;
    QPushButton* EditBoxBack = nullptr;
    QPushButton* ComboText = nullptr;
    QPushButton* ComboBack = nullptr;
    QPushButton* ListText = nullptr;
    QPushButton* ListBack = nullptr;
    QRadioButton* RadioButton = nullptr;
    QCheckBox* CheckBox = nullptr;
    QLineEdit* EditBox = nullptr;
    QComboBox* ComboBox = nullptr;
    QListWidget* ListBox = nullptr;
    QLabel* PredefinedLabel = nullptr;
    QComboBox* ColorSets = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    QPushButton* colorButton(const char* name, const QString& caption, settings::SchemeColor which);
    QGroupBox* group(const char* name, const QString& caption, QWidget* sample,
                     std::initializer_list<QPushButton*> buttons);
    void paintSamples();

    settings::Settings& m_settings;
    const int m_target;
    platform::Dialogs& m_dialogs;
    const settings::SharedFonts& m_fonts;
    const double m_scale;
    const QSize m_screen;
    settings::ColorScheme m_work;
};
