#include "TMySearch.h"

TMySearch::TMySearch(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TMySearch"));
    setWindowTitle(QStringLiteral("Search"));
    setModal(true);
}
