#pragma once

#include <QSize>

namespace platform {

// The size in pixels of the screen windows are scaled for and centred on.
// Windows receive a Screen by reference, so tests can choose any size.
class Screen {
public:
    virtual ~Screen() = default;
    virtual QSize size() const = 0;
};

// The primary screen as the window system reports it now; 640 x 480 when there is none.
class PrimaryScreen final : public Screen {
public:
    QSize size() const override;
};

// A screen of a given size.
class FixedScreen final : public Screen {
public:
    explicit FixedScreen(QSize size) : m_size(size) {}
    QSize size() const override { return m_size; }
    void setSize(QSize size) { m_size = size; }

private:
    QSize m_size;
};

} // namespace platform
