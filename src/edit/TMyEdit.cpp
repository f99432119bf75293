#include "TMyEdit.h"

TMyEdit::TMyEdit(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TMyEdit"));
    setWindowTitle(QStringLiteral("Edit"));
    setModal(true);
}
