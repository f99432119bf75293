#pragma once

#include <QDialog>

// The report list window. Created once at start and shown modally by the reports command.
class TMyReport : public QDialog {
    Q_OBJECT

public:
    explicit TMyReport(QWidget* parent = nullptr);
};
