#pragma once

#include "reports/ReportServices.h"
#include "reports/definition/ReportDefinition.h"
#include "reports/design/DesignLook.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QPushButton;

// The report fonts window ("Report Fonts"): the title, column header, body
// and footnote fonts of the current definition, each with its colour.
class TReportFonts : public QDialog {
    Q_OBJECT

public:
    // `services` must outlive the window.
    explicit TReportFonts(reports::ReportServices& services, QWidget* parent = nullptr);

    QLineEdit* TitleFont = nullptr;
    QLineEdit* ColumnFont = nullptr;
    QLineEdit* BodyFont = nullptr;
    QLineEdit* FootnoteFont = nullptr;
    QPushButton* TitleFontButton = nullptr;
    QPushButton* ColumnFontButton = nullptr;
    QPushButton* BodyFontButton = nullptr;
    QPushButton* FootnoteFontButton = nullptr;
    // The colour stored with each font, which the font dialog does not choose.
    QPushButton* TitleColorButton = nullptr;
    QPushButton* ColumnColorButton = nullptr;
    QPushButton* BodyColorButton = nullptr;
    QPushButton* FootnoteColorButton = nullptr;
    QPushButton* OkButton = nullptr;

    // Font i of the four shown (0 titles, 1 column headers, 2 body, 3 footnotes).
    void NewFontClick(int i);
    void ColorClick(int i);
    void OkButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh(int i);
    reports::ReportFontBlock& block(int i);

    reports::ReportServices& m_services;
    reports::DesignLook m_look;
    std::array<QLineEdit*, 4> m_edits{};
    std::array<QPushButton*, 4> m_colours{};
    bool m_shown = false;
};
