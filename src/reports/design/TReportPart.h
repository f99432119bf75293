#pragma once

#include "reports/ReportServices.h"
#include "reports/definition/ReportDefinition.h"
#include "reports/design/DesignLook.h"

#include "platform/Dialogs.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// The report part window ("Select Report Part"): makes one item of a line a
// filler, a label or a field of a given width. It works on a copy of the line
// and writes it back into `line` on Ok.
class TReportPart : public QDialog {
    Q_OBJECT

public:
    // `line` is the layout window's copy of line `lineNumber` (or of the totals line), `item` from 1;
    // `width` the report width; `titles` the 36 field titles. `services` and `line` must outlive the window.
    TReportPart(reports::ReportServices& services, reports::ReportLine& line, bool totals, int lineNumber,
                int item, int width, const QStringList& titles, QWidget* parent = nullptr);

    QRadioButton* RadioFiller = nullptr;
    QRadioButton* RadioLabel = nullptr;
    QRadioButton* RadioField = nullptr;
    QListWidget* FieldList = nullptr;
    QLineEdit* FieldWidth = nullptr;
    QLineEdit* LabelName = nullptr;
    QLabel* SelPartLabel = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void FormShow();
    void RadioClick();
    void OkButtonClick();
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refuse(QWidget* control, const QString& text, platform::Icon icon);

    reports::ReportServices& m_services;
    reports::ReportLine& m_target;
    reports::ReportLine m_line;
    reports::DesignLook m_look;
    bool m_totals;
    int m_lineNumber;
    int m_item; // index 0..19
    int m_width;
    bool m_shown = false;
};
