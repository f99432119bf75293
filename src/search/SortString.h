#pragma once

#include <QString>
#include <array>

// The index expression of a sort order: up to four levels, each a book field's
// position (1-36) or 0 for none. Character fields share 80 key characters
// among all chosen levels; numbers and dates keep their own key forms.
// "Upper(Left(Author,80))" for AUTHOR alone; empty when no level is chosen.
// A position outside 1-36 counts as none.
QString BuildSortString(const std::array<int, 4>& levels);
