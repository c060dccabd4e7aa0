// A made-up installation with the reader's executable in it, started from there as a
// person's copy of the book is: the reader finds its installation from the folder it
// runs from. VELMORA_EXECUTABLE is the reader the build made.
#pragma once

#include "installfolder.h"

#include <QString>

#include <filesystem>

namespace velmora::testing {

class ReaderInstallation : public InstallFolder {
public:
    explicit ReaderInstallation(const InstallOptions &options = {}) : InstallFolder(options)
    {
        std::filesystem::copy_file(VELMORA_EXECUTABLE, root() / "velmora");
    }
    QString executable() const { return path() + "/velmora"; }
};

} // namespace velmora::testing
