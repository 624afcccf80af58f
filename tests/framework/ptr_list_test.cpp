#include "framework/ptr_list.h"

#include <gtest/gtest.h>

#include <deque>
#include <new>
#include <random>
#include <vector>

#include "tests/support/failing_allocator.h"

namespace {

// Distinct pointers to compare against; the list never dereferences them.
int g_items[64];
void* Item(int i) {
    return &g_items[i];
}

std::vector<void*> Forward(const CPtrList& list) {
    std::vector<void*> out;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        out.push_back(list.GetNext(pos));
    return out;
}

// Checks the count and the elements in order against the expected contents.
void ExpectContents(const CPtrList& list, const std::vector<void*>& expected) {
    EXPECT_EQ(list.GetCount(), static_cast<int>(expected.size()));
    EXPECT_EQ(list.IsEmpty(), expected.empty());
    EXPECT_EQ(Forward(list), expected);
}

TEST(PtrList, AddTailKeepsOrder) {
    CPtrList list(3);
    ExpectContents(list, {});
    list.AddTail(Item(0));
    list.AddTail(nullptr);  // null elements are elements like any other
    list.AddTail(Item(1));
    list.AddTail(Item(2));
    ExpectContents(list, {Item(0), nullptr, Item(1), Item(2)});
}

TEST(PtrList, PositionsReturnedByAddStayValidAcrossOtherChanges) {
    CPtrList list(2);
    list.AddTail(Item(0));
    POSITION b = list.AddTail(Item(1));
    POSITION c = list.AddTail(Item(2));
    POSITION d = list.AddTail(Item(3));
    EXPECT_EQ(list.RemoveHead(), Item(0));
    EXPECT_EQ(list.GetAt(b), Item(1));
    EXPECT_EQ(list.GetAt(c), Item(2));
    EXPECT_EQ(list.GetHeadPosition(), b);

    POSITION pos = b;
    EXPECT_EQ(list.GetNext(pos), Item(1));
    EXPECT_EQ(pos, c);
    list.RemoveAt(c);
    pos = b;
    EXPECT_EQ(list.GetNext(pos), Item(1));
    EXPECT_EQ(pos, d);
    EXPECT_EQ(list.GetAt(d), Item(3));
}

TEST(PtrList, RemovalAtHeadMiddleAndTail) {
    CPtrList list(4);
    std::vector<POSITION> at;
    for (int i = 0; i < 6; ++i)
        at.push_back(list.AddTail(Item(i)));

    list.RemoveAt(at[2]);
    ExpectContents(list, {Item(0), Item(1), Item(3), Item(4), Item(5)});
    list.RemoveAt(at[0]);
    ExpectContents(list, {Item(1), Item(3), Item(4), Item(5)});
    list.RemoveAt(at[5]);
    ExpectContents(list, {Item(1), Item(3), Item(4)});

    EXPECT_EQ(list.RemoveHead(), Item(1));
    list.RemoveAt(at[4]);
    ExpectContents(list, {Item(3)});
    // A new element follows the remaining one, not the removed tail.
    list.AddTail(Item(6));
    ExpectContents(list, {Item(3), Item(6)});
    list.RemoveAt(at[3]);
    EXPECT_EQ(list.RemoveHead(), Item(6));
    ExpectContents(list, {});

    // An emptied list is usable again.
    list.AddTail(Item(7));
    ExpectContents(list, {Item(7)});
}

TEST(PtrList, EmptyListAndNullPositionsAreHarmless) {
    CPtrList list;
    EXPECT_EQ(list.RemoveHead(), nullptr);
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    POSITION pos = nullptr;
    EXPECT_EQ(list.GetNext(pos), nullptr);
    EXPECT_EQ(pos, nullptr);
    EXPECT_EQ(list.GetAt(nullptr), nullptr);
    list.RemoveAt(nullptr);
    list.RemoveAll();
    ExpectContents(list, {});
}

TEST(PtrList, FindIndexCoversExactlyTheElements) {
    CPtrList list(3);
    EXPECT_EQ(list.FindIndex(0), nullptr);
    POSITION last = nullptr;
    for (int i = 0; i < 7; ++i)
        last = list.AddTail(Item(i));
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(list.GetAt(list.FindIndex(i)), Item(i)) << i;
    EXPECT_EQ(list.FindIndex(-1), nullptr);
    EXPECT_EQ(list.FindIndex(7), nullptr);
    EXPECT_EQ(list.FindIndex(1 << 30), nullptr);
    EXPECT_EQ(list.FindIndex(6), last);
}

TEST(PtrList, RemoveAllEmptiesAndTheListCanBeRefilled) {
    CPtrList list(5);
    for (int i = 0; i < 12; ++i)
        list.AddTail(Item(i));
    list.RemoveAll();
    ExpectContents(list, {});
    for (int i = 0; i < 3; ++i)
        list.AddTail(Item(i));
    ExpectContents(list, {Item(0), Item(1), Item(2)});
}

// Random adds and removes at the ends and in the middle, checked against a
// reference container. Nodes are recycled through the free list and blocks
// are dropped whenever the list empties; ASan reports any use of a node after
// its block was released.
TEST(PtrList, ManyAddRemoveCyclesMatchAReferenceAndRecycleNodes) {
    for (int blockSize : {1, 2, 10}) {
        CPtrList list(blockSize);
        std::deque<void*> reference;
        std::mt19937 random(1234u + static_cast<unsigned>(blockSize));
        for (int step = 0; step < 20000; ++step) {
            void* item = Item(step % 64);
            switch (random() % 7) {
                case 0:
                case 1:
                case 2:
                    list.AddTail(item);
                    reference.push_back(item);
                    break;
                case 3:
                    EXPECT_EQ(list.RemoveHead(), reference.empty() ? nullptr : reference.front());
                    if (!reference.empty())
                        reference.pop_front();
                    break;
                case 4:
                    list.RemoveAt(list.FindIndex(static_cast<int>(reference.size()) - 1));
                    if (!reference.empty())
                        reference.pop_back();
                    break;
                case 5:
                    if (!reference.empty()) {
                        int index = static_cast<int>(random() % reference.size());
                        list.RemoveAt(list.FindIndex(index));
                        reference.erase(reference.begin() + index);
                    }
                    break;
                default:
                    if (random() % 50 == 0) {
                        list.RemoveAll();
                        reference.clear();
                    }
                    break;
            }
            ASSERT_EQ(list.GetCount(), static_cast<int>(reference.size())) << "step " << step;
        }
        ExpectContents(list, std::vector<void*>(reference.begin(), reference.end()));
    }
}

TEST(PtrList, NonPositiveBlockSizeStillWorks) {
    for (int blockSize : {0, -5}) {
        CPtrList list(blockSize);
        for (int i = 0; i < 25; ++i)
            list.AddTail(Item(i));
        EXPECT_EQ(list.GetCount(), 25);
        EXPECT_EQ(list.GetAt(list.FindIndex(24)), Item(24));
    }
}

// --- Memory: blocks, recycling, failure ---

TEST(PtrList, RemovedNodesAreReusedBeforeAnotherBlockIsAllocated) {
    CPtrList list(4);
    long start = AllocationCount();
    list.AddTail(Item(0));
    EXPECT_EQ(AllocationCount() - start, 1);  // one block for four nodes

    // Churn that never holds more than four elements needs no more memory.
    for (int cycle = 0; cycle < 1000; ++cycle) {
        list.AddTail(Item(1));
        list.AddTail(Item(2));
        list.AddTail(Item(3));
        list.RemoveAt(list.FindIndex(2));
        list.RemoveAt(list.FindIndex(2));
        list.RemoveAt(list.FindIndex(1));
    }
    EXPECT_EQ(AllocationCount() - start, 1);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetAt(list.GetHeadPosition()), Item(0));

    // Nine elements: three blocks.
    for (int i = 1; i < 9; ++i)
        list.AddTail(Item(i));
    EXPECT_EQ(AllocationCount() - start, 3);
}

TEST(PtrList, AnEmptiedOrDestroyedListGivesBackItsBlocks) {
    long before = LiveAllocations();
    {
        CPtrList list(3);
        for (int i = 0; i < 10; ++i)
            list.AddTail(Item(i));
        EXPECT_EQ(LiveAllocations() - before, 4);
        while (!list.IsEmpty())
            list.RemoveHead();
        EXPECT_EQ(LiveAllocations(), before);

        for (int i = 0; i < 10; ++i)
            list.AddTail(Item(i));
    }
    EXPECT_EQ(LiveAllocations(), before);
}

TEST(PtrList, AFailedBlockAllocationThrowsAndLeavesTheListUnchanged) {
    CPtrList list(2);
    list.AddTail(Item(0));
    list.AddTail(Item(1));  // the first block is full
    {
        FailingAllocation failure(1);
        EXPECT_THROW(list.AddTail(Item(2)), std::bad_alloc);
        EXPECT_TRUE(failure.Happened());
    }
    ExpectContents(list, {Item(0), Item(1)});
    list.AddTail(Item(2));
    ExpectContents(list, {Item(0), Item(1), Item(2)});
}

}  // namespace
