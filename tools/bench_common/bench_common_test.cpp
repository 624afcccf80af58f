// The benchmarks' size lists and medians: a mistyped list must be refused,
// not run as something else.
#include <gtest/gtest.h>

#include "tools/bench_common/bench_common.h"

TEST(BenchArgsTest, SizeListsParseOnlyWhenEveryItemIsANumberInRange) {
    std::vector<int> sizes;
    ASSERT_TRUE(ParseSizeList("10,100,1000", 5000, sizes));
    EXPECT_EQ(sizes, (std::vector<int>{10, 100, 1000}));
    ASSERT_TRUE(ParseSizeList("5000", 5000, sizes));
    EXPECT_EQ(sizes, (std::vector<int>{5000}));

    for (const char* bad : {"", ",", "10,", ",10", "10,,20", "0", "-5", "5001", "1e3", "10 ,20",
                            "ten", "99999999999999999999"})
        EXPECT_FALSE(ParseSizeList(bad, 5000, sizes)) << '"' << bad << '"';
}

TEST(BenchArgsTest, MedianOfOddAndEvenCountsAndOfNothing) {
    EXPECT_DOUBLE_EQ(Median({30, 10, 20}), 20);
    EXPECT_DOUBLE_EQ(Median({40, 10, 30, 20}), 25);
    EXPECT_DOUBLE_EQ(Median({}), 0);
}
