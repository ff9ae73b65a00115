#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "analysis/inline_vector.h"

using dorvik::InlineVector;

namespace {

InlineVector<int, 2> filled(int n) {
    InlineVector<int, 2> v;
    for (int i = 0; i < n; ++i)
        v.push_back(i);
    return v;
}

std::vector<int> items(const InlineVector<int, 2>& v) { return {v.begin(), v.end()}; }

} // namespace

// Inline and spilled alike: copies and moves keep every element, and a moved-from vector is empty.
TEST(InlineVector, CopiesAndMovesInlineAndSpilled) {
    for (const int n : {0, 1, 2, 3, 5}) {
        SCOPED_TRACE(n);
        std::vector<int> want(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            want[static_cast<size_t>(i)] = i;
        InlineVector<int, 2> source = filled(n);
        const InlineVector<int, 2> copy = source;
        EXPECT_EQ(items(copy), want);
        EXPECT_EQ(items(source), want);
        InlineVector<int, 2> moved = std::move(source);
        EXPECT_EQ(items(moved), want);
        EXPECT_EQ(source.size(), 0u); // NOLINT(bugprone-use-after-move): the state after a move is the point
        EXPECT_EQ(source.begin(), source.end());
        InlineVector<int, 2> assigned = filled(4);
        assigned = moved;
        EXPECT_EQ(items(assigned), want);
        source.push_back(7); // a moved-from vector is usable again
        EXPECT_EQ(items(source), std::vector<int>{7});
    }
}
