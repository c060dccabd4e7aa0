// The commands of velmora-bookdb: inspect a book database, export its pages to files
// and pack a folder of pages into a new database.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora::bookdb {

// Runs the command line `args` (without the program name); returns the exit code:
// 0 done, 1 the command failed, 2 the command line is wrong.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace velmora::bookdb
