#pragma once

// What the page engine and player tests share: a measurer with fixed advances, so that
// layouts are exact, and positions printed to three decimals.
#include "reportengine/PageMeasure.h"

#include <QString>
#include <cmath>

namespace {

// Every character advances 0.1 inch; the descent is a quarter of the character height.
class FixedMeasurer : public reportengine::PageMeasurer {
public:
    double textWidth(const reportengine::ReportFont&, const QString& text) const override
    {
        return text.size() * 0.1;
    }
    double descent(const reportengine::ReportFont& font) const override { return font.height * 0.25; }
};

inline QString num(double v)
{
    return QString::number(std::abs(v) < 5e-4 ? 0.0 : v, 'f', 3);
}

} // namespace
