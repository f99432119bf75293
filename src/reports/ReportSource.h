#pragma once

// What report generation reads: the books, in the order and under the search
// of the run, and the texts the program shows for their values. The walk is
// the source's own, never the grid's current record.

#include <QString>

namespace reports {

class ReportSource {
public:
    virtual ~ReportSource() = default;

    virtual void first() = 0;
    virtual bool atEnd() const = 0; // past the last book
    virtual void next() = 0;

    // Field 1..36 of the current book as the report prints it: money text for
    // the four money fields, plain or grouped numbers, dates in the short form.
    virtual QString text(int field) const = 0;
    // A money field's value; an empty field is 0.
    virtual double amount(int field) const = 0;

    virtual QString moneyText(double amount) const = 0;
    virtual QString fieldTitle(int field) const = 0; // the user's title for field 1..36
    virtual QString today() const = 0;               // in the short date form
};

} // namespace reports
