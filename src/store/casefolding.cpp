#include "store/casefolding.h"

#include <QChar>
#include <unordered_map>

namespace {

// The characters folding to each folded character other than itself.
const std::unordered_map<char32_t, std::vector<char32_t>>& unfoldings() {
    static const auto table = [] {
        std::unordered_map<char32_t, std::vector<char32_t>> result;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const char32_t folded = QChar::toCaseFolded(c);
            if (folded != c)
                result[folded].push_back(c);
        }
        return result;
    }();
    return table;
}

} // namespace

std::vector<char32_t> caseSpellings(char32_t folded) {
    std::vector<char32_t> all{folded};
    const auto& table = unfoldings();
    if (const auto found = table.find(folded); found != table.end())
        all.insert(all.end(), found->second.begin(), found->second.end());
    return all;
}
