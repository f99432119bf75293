#pragma once

#include "reports/ReportServices.h"
#include "reports/definition/ReportDefinition.h"
#include "reports/design/DesignLook.h"
#include "reports/design/LayoutGeometry.h"

#include <QDialog>

#include <optional>

class QLabel;
class QPainter;
class QPushButton;

// The report layout window ("Specify Report Layout"): the lines of the
// current definition drawn as rows of boxes in proportion to their widths,
// and the totals band. Clicking a box opens the part window for its item. It
// works on a private copy that replaces the current definition on Ok.
class TRepLayout : public QDialog {
    Q_OBJECT

public:
    // `width` and `useTotals` are what the definition window shows now. `services` must outlive the window.
    TRepLayout(reports::ReportServices& services, int width, bool useTotals, QWidget* parent = nullptr);

    QLabel* ReportNameLabel = nullptr;
    QLabel* BodyLabel = nullptr;
    QLabel* TotalsLabel = nullptr;
    QWidget* LayoutArea = nullptr; // the canvas the boxes are drawn on
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // The line and item under a point of the canvas.
    std::optional<reports::LayoutPosition> CalcPosition(QPoint point) const;
    // Opens the part window for an item; true when it was confirmed.
    bool EditPart(reports::LayoutPosition position);
    void OkButtonClick();
    void CancelButtonClick();

    const reports::ReportDefinition& copy() const { return m_copy; }
    const reports::LayoutGeometry& layoutGeometry() const { return m_geometry; }
    // Draws the layout, as the canvas does on every repaint.
    void BuildLayout(QPainter& painter) const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void drawLine(QPainter& painter, const reports::ReportLine& line, int top, bool totals) const;
    QString boxText(const reports::ReportItem& item, bool totals) const;

    reports::ReportServices& m_services;
    reports::DesignLook m_look;
    reports::LayoutGeometry m_geometry;
    reports::ReportDefinition m_copy;
    QStringList m_titles;
    int m_width;
    bool m_useTotals;
    std::optional<reports::LayoutPosition> m_pressed;
    bool m_shown = false;
};
