#pragma once
// Finds the group (line, terminal or product) of a change quickly: a report reads every
// change of its period, so this runs millions of times for a year.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace karvel::report {

struct TGroupId {
    int line = 0;
    int netNum = 0;
    std::string product;
};

class TGroupIndex {
public:
    // byProduct: one group per product; else one per line (netNum 0) or per terminal.
    explicit TGroupIndex(bool byProduct) : byProduct_(byProduct) { slots_.fill(kNone); }

    // The group's number, a new one for a group not seen before.
    size_t Of(int line, int netNum, std::string_view product)
    {
        if (byProduct_) {
            if (auto it = products_.find(product); it != products_.end())
                return it->second;
            products_.emplace(std::string(product), groups_.size());
            groups_.push_back({0, 0, std::string(product)});
            return groups_.size() - 1;
        }
        if (line < 0 || line > 7 || netNum < 0 || netNum > 255)
            return OfOddTerminal(line, netNum);
        const size_t slot = static_cast<size_t>(line) * 256 + static_cast<size_t>(netNum);
        if (slots_[slot] == kNone) {
            slots_[slot] = groups_.size();
            groups_.push_back({line, netNum, {}});
        }
        return slots_[slot];
    }

    const std::vector<TGroupId>& Groups() const { return groups_; }

    // The group numbers in line and terminal order, or in product order.
    std::vector<size_t> Sorted() const
    {
        std::vector<size_t> order(groups_.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [this](size_t a, size_t b) {
            const TGroupId& x = groups_[a];
            const TGroupId& y = groups_[b];
            return std::tie(x.line, x.netNum, x.product) < std::tie(y.line, y.netNum, y.product);
        });
        return order;
    }

private:
    // A line or network number the ledger should never hold: found the slow way.
    size_t OfOddTerminal(int line, int netNum)
    {
        for (size_t i = 0; i < groups_.size(); ++i)
            if (groups_[i].line == line && groups_[i].netNum == netNum)
                return i;
        groups_.push_back({line, netNum, {}});
        return groups_.size() - 1;
    }

    struct THash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>()(text);
        }
    };
    static constexpr size_t kNone = SIZE_MAX;

    bool byProduct_;
    std::unordered_map<std::string, size_t, THash, std::equal_to<>> products_;
    std::array<size_t, 8 * 256> slots_ {};
    std::vector<TGroupId> groups_;
};

} // namespace karvel::report
