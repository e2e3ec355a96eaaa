#pragma once
// File types the installer can bind to the installed main program.
#include <cstdint>
#include <string>

// One row of the association table. The table is a plain array, allocated when the association page
// opens and released after the registry writes.
struct FileAssociation {
    std::string Ext;         // extension with its dot, at most 10 characters
    std::string ProgId;      // file-class key name, at most 255 characters
    std::string Description; // shown for the class and in the list, at most 255 characters
    std::uint8_t IconIndex = 0;
    bool Checked = false;
};
