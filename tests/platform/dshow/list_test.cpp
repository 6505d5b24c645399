// CGenericList: order, positions, finding, removal and the list-to-list moves.
#include "wxlist.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> contents(const CGenericList<int> &list)
{
    std::vector<int> out;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        out.push_back(*list.GetNext(pos));
    return out;
}

struct CGenericListTest : testing::Test {
    int v[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    CGenericList<int> list{NAME("Test list"), 2};
};

TEST_F(CGenericListTest, KeepsInsertionOrderAtBothEnds)
{
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(nullptr, list.GetHeadPosition());
    EXPECT_EQ(nullptr, list.RemoveHead());
    list.AddTail(&v[2]);
    list.AddHead(&v[1]);
    list.AddTail(&v[3]);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), contents(list));
    EXPECT_EQ(3, list.GetCount());
    EXPECT_EQ(&v[1], list.GetHead());
    EXPECT_EQ(&v[3], list.Get(list.GetTailPosition()));
    EXPECT_STREQ(L"Test list", list.Name());
}

TEST_F(CGenericListTest, InsertsBeforeAndAfterPositions)
{
    POSITION p2 = list.AddTail(&v[2]);
    list.AddAfter(p2, &v[4]);
    list.AddBefore(p2, &v[1]);
    list.AddAfter(list.GetTailPosition(), &v[5]);
    list.AddBefore(list.GetHeadPosition(), &v[0]);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 4, 5}), contents(list));
    list.AddAfter(static_cast<POSITION>(nullptr), &v[7]);
    list.AddBefore(static_cast<POSITION>(nullptr), &v[6]);
    EXPECT_EQ((std::vector<int>{7, 0, 1, 2, 4, 5, 6}), contents(list)) << "NULL means the head resp. the tail";
}

TEST_F(CGenericListTest, FindsAndRemovesByPosition)
{
    for (int i = 0; i < 5; i++)
        list.AddTail(&v[i]);
    POSITION p3 = list.Find(&v[3]);
    ASSERT_NE(nullptr, p3);
    EXPECT_EQ(nullptr, list.Find(&v[7]));
    EXPECT_EQ(&v[3], list.Remove(p3));
    EXPECT_EQ(&v[0], list.RemoveHead());
    EXPECT_EQ(&v[4], list.RemoveTail());
    EXPECT_EQ((std::vector<int>{1, 2}), contents(list));
    EXPECT_EQ(nullptr, list.Remove(nullptr));
    // Nodes come back from the cache and beyond it.
    for (int round = 0; round < 3; round++) {
        for (int i = 0; i < 8; i++)
            list.AddTail(&v[i]);
        for (int i = 0; i < 8; i++)
            list.RemoveTail();
    }
    EXPECT_EQ((std::vector<int>{1, 2}), contents(list));
    list.RemoveAll();
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(nullptr, list.GetTailPosition());
}

TEST_F(CGenericListTest, NextAndPrevWalkBothWays)
{
    for (int i = 0; i < 3; i++)
        list.AddTail(&v[i]);
    POSITION p = list.Next(nullptr);
    EXPECT_EQ(&v[0], list.Get(p));
    p = list.Next(p);
    EXPECT_EQ(&v[1], list.Get(p));
    EXPECT_EQ(&v[0], list.Get(list.Prev(p)));
    EXPECT_EQ(&v[2], list.Get(list.Prev(nullptr)));
    EXPECT_EQ(nullptr, list.Next(list.GetTailPosition()));
}

TEST_F(CGenericListTest, CopiesAnotherListWithoutChangingIt)
{
    CGenericList<int> other(NAME("Other"));
    other.AddTail(&v[5]);
    other.AddTail(&v[6]);
    list.AddTail(&v[1]);
    EXPECT_TRUE(list.AddTail(&other));
    EXPECT_TRUE(list.AddHead(&other));
    EXPECT_EQ((std::vector<int>{5, 6, 1, 5, 6}), contents(list));
    EXPECT_EQ(2, other.GetCount());
    POSITION p1 = list.Find(&v[1]);
    EXPECT_TRUE(list.AddAfter(p1, &other));
    EXPECT_EQ((std::vector<int>{5, 6, 1, 5, 6, 5, 6}), contents(list));
}

TEST_F(CGenericListTest, MovesHeadAndTailPartsToAnotherList)
{
    for (int i = 0; i < 6; i++)
        list.AddTail(&v[i]);
    CGenericList<int> other(NAME("Other"));
    other.AddTail(&v[7]);
    EXPECT_TRUE(list.MoveToTail(list.Find(&v[1]), &other));
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5}), contents(list));
    EXPECT_EQ((std::vector<int>{7, 0, 1}), contents(other));
    EXPECT_TRUE(list.MoveToHead(list.Find(&v[4]), &other));
    EXPECT_EQ((std::vector<int>{2, 3}), contents(list));
    EXPECT_EQ((std::vector<int>{4, 5, 7, 0, 1}), contents(other));
    EXPECT_EQ(2, list.GetCount());
    EXPECT_EQ(5, other.GetCount());
    EXPECT_TRUE(list.MoveToTail(nullptr, &other));
    EXPECT_EQ(2, list.GetCount());
    EXPECT_TRUE(list.MoveToTail(list.GetTailPosition(), &other)) << "everything moves";
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(nullptr, list.GetHeadPosition());
    EXPECT_EQ((std::vector<int>{4, 5, 7, 0, 1, 2, 3}), contents(other));
}

TEST_F(CGenericListTest, ReversesInPlace)
{
    for (int i = 0; i < 4; i++)
        list.AddTail(&v[i]);
    list.Reverse();
    EXPECT_EQ((std::vector<int>{3, 2, 1, 0}), contents(list));
    EXPECT_EQ(&v[0], list.Get(list.GetTailPosition()));
    EXPECT_EQ(&v[1], list.Get(list.Prev(list.GetTailPosition())));
}

} // namespace
