#pragma once

#include "reports/definition/ReportDefinition.h"

#include <vector>

namespace reports {

// The eight reports a new report file starts with, in list order: Short
// Narrow, 2 Line 120 Column, 4 Line, Full, Location, Library Checkout, Value
// and Statistic/Summary.
std::vector<ReportDefinition> builtInReports();

// Whether a report of the older file is one of its six built-in reports, which
// the conversion leaves out: the new file has its own.
bool isOldBuiltInName(const std::string& name);

} // namespace reports
