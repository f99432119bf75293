#pragma once

#include "reports/ReportServices.h"
#include "reports/design/DesignLook.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The report definition window ("Report Definition"): the name, width,
// titles, options, margins and number of lines of the current report
// definition; saves it to the report file or deletes it. Opened by the report
// list on a definition it prepared: a new one, or the one at `position`.
class TUserReport : public QDialog {
    Q_OBJECT

public:
    // `services` must outlive the window.
    TUserReport(reports::ReportServices& services, bool isNew, int position, QWidget* parent = nullptr);
    ~TUserReport() override;

    QLineEdit* ReportName = nullptr;
    QRadioButton* Chars90 = nullptr;
    QRadioButton* Chars120 = nullptr;
    QRadioButton* Chars150 = nullptr;
    QLineEdit* TitleLineFont = nullptr;
    QLineEdit* ColumnHeaderFont = nullptr;
    QLineEdit* RepBodyDataFont = nullptr;
    QLineEdit* FootnoteFont = nullptr;
    QPushButton* SetFonts = nullptr;
    QLineEdit* Title1 = nullptr;
    QLineEdit* Title2 = nullptr;
    QLineEdit* Title3 = nullptr;
    QCheckBox* Level1Group = nullptr;
    QCheckBox* Level2Group = nullptr;
    QCheckBox* ColumnHeaders = nullptr;
    QCheckBox* HorzLines = nullptr;
    QCheckBox* VertLines = nullptr;
    QCheckBox* DateOnPage = nullptr;
    QCheckBox* PageNumbers = nullptr;
    QCheckBox* LandOrient = nullptr;
    QLineEdit* NumLines = nullptr;
    QCheckBox* UseTotals = nullptr;
    QPushButton* SpecifyButton = nullptr;
    QLineEdit* TopMargin = nullptr;
    QLineEdit* BottomMargin = nullptr;
    QLineEdit* LeftMargin = nullptr;
    QLineEdit* RightMargin = nullptr;
    QPushButton* UpdateButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* HelpButton = nullptr;

    void FormShow();
    void ReportNameExit();
    void NumLinesExit();
    bool NumLinesOk();
    void Level1GroupClick();
    void SpecifyButtonClick();
    void SetFontsClick();
    void Chars90Click();
    void Chars120Click();
    void Chars150Click();
    void UpdateButtonClick();
    void DeleteButtonClick();
    void CancelButtonClick();
    void RefreshFonts();

    // What the report list does after the window closed: refill itself when the
    // file changed, and select position() (-1: nothing).
    bool fileChanged() const { return m_fileChanged; }
    int position() const { return m_position; }
    // The report width the radios show now.
    int checkedWidth() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void switchTo(int width);
    void enableLineOptions(int lines);
    bool checkTexts();
    bool checkMargins();
    void SaveOutVars();
    bool save();
    void refuse(QWidget* control, const QString& text);

    reports::ReportServices& m_services;
    reports::ReportDefinition& m_definition;
    reports::DesignLook m_look;
    bool m_new;
    int m_position;
    std::string m_openingName;
    bool m_fileChanged = false;
    bool m_shown = false;
};
