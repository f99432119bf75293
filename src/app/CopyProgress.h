#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <cstdint>

// Shows how much of a copy is done. A slow medium takes seconds: the label is
// repainted at most every 50 ms, and the window takes no input meanwhile.
inline void showCopied(QLabel* label, QElapsedTimer& sinceRepaint, std::uint64_t copied, std::uint64_t total)
{
    if (sinceRepaint.isValid() && sinceRepaint.elapsed() < 50)
        return;
    sinceRepaint.restart();
    const QLocale locale = QLocale::system();
    label->setText(QStringLiteral("%1 of %2 copied")
                       .arg(locale.formattedDataSize(qint64(copied), 1, QLocale::DataSizeSIFormat),
                            locale.formattedDataSize(qint64(total), 1, QLocale::DataSizeSIFormat)));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
