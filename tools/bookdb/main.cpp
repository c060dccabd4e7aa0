// velmora-bookdb: inspect, export and pack the book's content database.
#include "bookdb.h"

#include <iostream>

int main(int argc, char **argv)
{
    return velmora::bookdb::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
