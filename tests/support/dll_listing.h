// The build copy's symbol listing, as nm prints it: where the DLL's own functions and data
// lie in the loaded DLL, whose code and addresses are the build copy's, stripped or not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ListedSymbol {
    std::string name;  // as the listing gives it: mangled, with the leading underscore
    std::uint32_t rva; // offset from the image base
};

// Reads every symbol of the listing at path that has an address, as an offset from the
// image base (the __image_base__ symbol). False when the file cannot be read or has no
// image base.
bool ReadDllListing(const std::string& path, std::vector<ListedSymbol>* symbols);

// The offset of the symbol named name; 0 when the listing has none.
std::uint32_t ListedRva(const std::vector<ListedSymbol>& symbols, const std::string& name);
