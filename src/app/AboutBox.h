#pragma once

#include <QDialog>

// The version the program reports in its About box.
inline constexpr char kProductVersion[] = "1.0";

// The product information window: name, version, file formats and the Qt it runs on. Modal.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    explicit AboutBox(QWidget* parent = nullptr);
};
