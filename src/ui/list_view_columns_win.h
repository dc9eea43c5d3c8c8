// A report list view's rows and columns: a row put in with its cells, the
// columns sized to what they hold, and the mark in the title of the column
// the rows are sorted by.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

// Puts a row of `count` cells in at `row`; the row's index, or -1.
int InsertReportRow(HWND listView, int row, const char* const* cells, int count);

// Measures each column: the wider of its widest cell and its title. Slow
// for many rows (every cell is measured), so it is done after a fill, not
// on every resize; the widths are kept for FillListColumns.
std::vector<int> MeasureListColumns(HWND listView);
// The same measure over `rows` (each a row's cells, in the columns' order)
// in place of the list's own rows, in a hidden list view of the list's font
// and columns: over thousands of rows, the few that stand for the rest.
std::vector<int> MeasureListColumnsOver(HWND listView,
                                        const std::vector<std::vector<std::string>>& rows);
// Gives each column its measured width, and the last one the rest of the
// list's width when that is more, so that the columns end at its edge.
void FillListColumns(HWND listView, const std::vector<int>& widths);
// The sort arrow in the title of `column` (none in the others); -1 for none.
void ShowSortMark(HWND listView, int column, bool ascending);

}  // namespace ui
