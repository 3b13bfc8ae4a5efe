#pragma once

#include <vector>

// Every character that folds to this folded character, itself first: what a search that
// ignores case, as the scan's like does, must take for it ('k' gives 'k', 'K' and the Kelvin
// sign). Each engine's search index spells the searched text with these.
std::vector<char32_t> caseSpellings(char32_t folded);
