#pragma once

#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QSize>

#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

namespace platform {
class Dialogs;
}

// The viewer configuration window: which fields the viewer shows, in which order, how
// wide and under which titles, and how the grid looks. It works on a copy of the viewer
// settings and of the two grid fonts and writes them back when it closes; it does not
// close while two fields would be stored under one title. The caller applies the new
// settings to the grid afterwards.
class TViewConfig : public QDialog {
    Q_OBJECT

public:
    // The pages, in tab order.
    enum Page { TitlePage, LookPage, ShowPage, WidthsPage, OrderPage, NamesPage };

    // `settings`, `fonts` and `dialogs` must outlive the window. `scale` and `screen`
    // are the factor and screen size the window is scaled and centred for.
    TViewConfig(settings::Settings& settings, settings::SharedFonts& fonts, platform::Dialogs& dialogs,
                double scale, QSize screen, QWidget* parent = nullptr);

    // Opens the help at a keyword; without it the Help button does nothing.
    void setHelp(std::function<void(const QString& keyword)> help) { m_help = std::move(help); }

    // The handlers.
    void FormShow();
    bool FormCloseQuery();
    void ExitButtonClick();
    void HelpButtonClick();
    void ShowGridTitleClick();
    void TitleFontButtonClick();
    void Button1Click();
    void TitleLeftClick();
    void TitleCenterClick();
    void TitleRightClick();
    void ColumnLinesClick();
    void RowLinesClick();
    void RowIndicatorClick();
    void FieldEditingClick();
    void NewColorBUttonClick();
    void NewFontButtonClick();
    void FieldsToDisplayDblClick(int row, int column);
    void FieldNameGridSetEditText(int row, int column);
    void OrderUpClick();
    void OrderDownClick();
    void OrderDefaultsClick();

    // Closing by any way (Exit, the frame's button, Escape) passes the title check first.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createTitlePage();
    void createLookPage();
    void createShowPage();
    void createWidthsPage();
    void createOrderPage();
    void createNamesPage();
    QTableWidget* createFieldGrid(const QString& name, const QStringList& headings);
    QLabel* sectionLabel(const QString& text, const QString& name);
    void fillGrids();
    void sizeGrids();
    void scaleDesignSizes();
    void applyColours();
    void showFonts();
    void paintSamples();
    void moveOrderRow(int from, int to);
    void chooseGridFont(QFont& font, QColor& color, QString& name);
    void storeSettings();
    QString fieldTitle(int field) const;

    settings::Settings& m_settings;
    settings::SharedFonts& m_fonts;
    platform::Dialogs& m_dialogs;
    double m_scale;
    QSize m_screen;
    std::function<void(const QString&)> m_help;

    settings::Settings m_edit;         // the copy being edited
    settings::SharedFonts m_gridFonts; // only the two grid fonts and their colours are used
    QString m_titleFontName;           // the names the two fonts are described by
    QString m_cellFontName;

    QTabWidget* m_notebook = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_helpButton = nullptr;

    QCheckBox* m_showGridTitle = nullptr;
    QLineEdit* m_titleFont = nullptr;
    QPushButton* m_titleFontButton = nullptr;
    QFrame* m_titleShape = nullptr;
    QPushButton* m_button1 = nullptr;
    QRadioButton* m_titleLeft = nullptr;
    QRadioButton* m_titleCenter = nullptr;
    QRadioButton* m_titleRight = nullptr;

    QCheckBox* m_columnLines = nullptr;
    QCheckBox* m_rowLines = nullptr;
    QCheckBox* m_rowIndicator = nullptr;
    QCheckBox* m_fieldEditing = nullptr;
    QFrame* m_cellColorShape = nullptr;
    QPushButton* m_newColorButton = nullptr;
    QLineEdit* m_gridFont = nullptr;
    QPushButton* m_newFontButton = nullptr;

    QTableWidget* m_fieldsToDisplay = nullptr;
    QTableWidget* m_fieldWidthGrid = nullptr;
    QTableWidget* m_fieldOrderGrid = nullptr;
    QPushButton* m_orderUp = nullptr;
    QPushButton* m_orderDown = nullptr;
    QPushButton* m_orderDefaults = nullptr;
    QTableWidget* m_fieldNameGrid = nullptr;

    QList<QLabel*> m_sectionLabels;
    QList<QLabel*> m_orderLabels;
};
