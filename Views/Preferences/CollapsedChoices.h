#pragma once

#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

// The choices a collapsed grid of `count` places shows: the first ones, with the selected choice
// kept visible in the last place when it lies further down. Expanded, or with no more choices than
// places, all of them. idOf gives a choice's identifier. count must be at least 1.
template <typename T, typename IdOf>
std::vector<T> collapsedChoices(const std::vector<T>& choices, int count, const std::optional<QString>& selected,
                                bool expanded, IdOf idOf) {
    const size_t n = size_t(std::max(count, 1));
    if (expanded || choices.size() <= n) return choices;
    std::vector<T> first(choices.begin(), choices.begin() + long(n));
    if (!selected) return first;
    const auto chosen = std::find_if(choices.begin(), choices.end(), [&](const T& c) { return idOf(c) == *selected; });
    if (chosen == choices.end()) return first;
    if (std::any_of(first.begin(), first.end(), [&](const T& c) { return idOf(c) == *selected; })) return first;
    first.back() = *chosen;
    return first;
}
