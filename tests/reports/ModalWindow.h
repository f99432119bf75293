#pragma once

// Modal windows run their own event loop, so a test or tool that opens one
// queues what it wants done in it before the call that blocks.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace {

// Runs `act` on the modal window that opens next (other than `open`) once it is up; `missing` runs
// when none has come after `tries` waits of 10 ms.
inline void whenShown(std::function<void(QWidget*)> act, QWidget* open = nullptr, int tries = 200,
                      std::function<void()> missing = {})
{
    QTimer::singleShot(0, [act, open, tries, missing] {
        for (int i = 0; i < tries; ++i) {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != open) {
                act(modal);
                return;
            }
            QTest::qWait(10);
        }
        if (missing)
            missing();
    });
}

} // namespace
