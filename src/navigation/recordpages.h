// Showing a record of the page table: writepage writes field m1 of the current record
// to a file; movenext steps to the next record and writes it to the page file.
#pragma once

#include <string>

namespace velmora::navigation {

class ReaderWindow;

// Writes the bytes of m1 of the current record of rsxs to `path` (a full path in the
// program's Windows style), replacing the file. Every failing step is skipped and
// nothing is reported: no current record or a Null value gives an empty file. When the
// file cannot be written, the page is kept in the window's written pages instead, so the
// browser view still shows this record at that address.
void writepage(ReaderWindow &window, const std::string &path);

// Moves rsxs to the following record, writes it to the page file, sets pagepath to the
// page file and gives the focus to Text1. It does not navigate.
void movenext(ReaderWindow &window);

} // namespace velmora::navigation
