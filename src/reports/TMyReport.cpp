#include "TMyReport.h"

TMyReport::TMyReport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TMyReport"));
    setWindowTitle(QStringLiteral("Reports"));
    setModal(true);
}
