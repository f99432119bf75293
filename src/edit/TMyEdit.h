#pragma once

#include <QDialog>

// The record edit window. Created once at start and shown modally for Add, Edit and Copy.
class TMyEdit : public QDialog {
    Q_OBJECT

public:
    explicit TMyEdit(QWidget* parent = nullptr);
};
