#pragma once

// A demonstration report for the report engine: a multi-page listing of a
// generated book collection with shaded, boxed column headers and cells,
// group headers, a footer line and three fonts (Arial, Times New Roman,
// Courier New). Shared by the demo program and the report benchmark.

namespace reportengine {
class TBaseReport;
}

namespace demo {

// Binds the report's events so that a Run produces `pages` pages; the margins,
// line height method and title are set as the program's reports set them.
// The report must outlive its runs.
void setUpDemoReport(reportengine::TBaseReport& report, int pages);

} // namespace demo
