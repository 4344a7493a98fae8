// Reading the build copy's symbol listing.
#include "tests/support/dll_listing.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

bool ReadDllListing(const std::string& path, std::vector<ListedSymbol>* symbols) {
    std::ifstream file(path);
    if (!file) return false;
    std::vector<ListedSymbol> absolute;
    std::uint32_t imageBase = 0;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (!(fields >> address >> type >> name)) continue; // undefined: no address
        const auto value = static_cast<std::uint32_t>(std::strtoul(address.c_str(), nullptr, 16));
        if (name == "__image_base__") imageBase = value;
        absolute.push_back({name, value});
    }
    if (imageBase == 0) return false;
    symbols->clear();
    for (const ListedSymbol& symbol : absolute) {
        if (symbol.rva > imageBase) symbols->push_back({symbol.name, symbol.rva - imageBase});
    }
    return true;
}

std::uint32_t ListedRva(const std::vector<ListedSymbol>& symbols, const std::string& name) {
    for (const ListedSymbol& symbol : symbols) {
        if (symbol.name == name) return symbol.rva;
    }
    return 0;
}
