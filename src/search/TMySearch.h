#pragma once

#include <QDialog>

// The search window. Created once at start and shown modally by the search command.
class TMySearch : public QDialog {
    Q_OBJECT

public:
    explicit TMySearch(QWidget* parent = nullptr);
};
