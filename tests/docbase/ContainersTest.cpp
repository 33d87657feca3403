// The shared containers: the growable array's growth rule and element
// lifetime, and the lists with their node blocks of ten.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

#include <qdat/docbase/GrowArray.h>
#include <qdat/docbase/PtrList.h>

namespace qdat::test {
namespace {

std::vector<int> Values(const GrowArray<int>& a) {
    return std::vector<int>(a.begin(), a.end());
}

// ---------------------------------------------------------------------------
// GrowArray

TEST(GrowArray, GrowsBySizeOverEightBetweenFourAndAThousand) {
    GrowArray<int> a;
    EXPECT_EQ(a.GetCapacity(), 0);
    // Hand-computed from the rule: 0 +4 = 4, +4 = 8 (8/8 = 1 < 4), ... 32 +4 = 36,
    // 36 +4 = 40, 40 +5 = 45, 45 +5 = 50, 50 +6 = 56.
    const struct {
        int adds, capacity;
    } checkpoints[] = {{1, 4}, {4, 4}, {5, 8}, {9, 12}, {33, 36}, {37, 40}, {41, 45}, {46, 50}, {51, 56}};
    int added = 0;
    for (const auto& c : checkpoints) {
        while (added < c.adds) a.Add(added++);
        EXPECT_EQ(a.GetCapacity(), c.capacity) << "after " << c.adds << " adds";
    }
    // From there on, every growth of a full array adds size/8 clamped to
    // 4..1024, and past 8192 elements size/8, so large arrays grow in linear time.
    int growths = 0, largestStep = 0;
    while (added < 20000) {
        const int before = a.GetCapacity();
        const bool full = a.GetSize() == before;
        a.Add(added++);
        if (a.GetCapacity() != before) {
            ASSERT_TRUE(full) << "grew while not full at " << added;
            const int step = std::max(std::clamp(before / 8, 4, 1024), before / 8);
            ASSERT_EQ(a.GetCapacity(), before + step) << "size " << before;
            largestStep = std::max(largestStep, step);
            ++growths;
        }
    }
    EXPECT_GT(largestStep, 1024);
    EXPECT_GT(growths, 10);
    for (int i = 0; i < 20000; i += 997) ASSERT_EQ(a[i], i);
}

TEST(GrowArray, NeverGrowsToLessThanRequested) {
    GrowArray<int> a;
    a.SetSize(100);
    EXPECT_EQ(a.GetSize(), 100);
    EXPECT_EQ(a.GetCapacity(), 100);
    a.Add(1);  // 100 + 100/8
    EXPECT_EQ(a.GetCapacity(), 112);

    GrowArray<int> b;
    b.SetSize(3);  // the minimum step already covers it
    EXPECT_EQ(b.GetCapacity(), 4);
    for (int i = 0; i < 7; ++i) b.Add(i);  // 10 elements, capacity 12
    EXPECT_EQ(b.GetCapacity(), 12);
    b.SetSize(1000);  // 10 + 4 would be too small
    EXPECT_EQ(b.GetCapacity(), 1000);
    EXPECT_EQ(b.GetSize(), 1000);
    EXPECT_EQ(b[999], 0);
}

TEST(GrowArray, ExplicitGrowthStep) {
    GrowArray<int> a;
    a.SetSize(10, 16);
    EXPECT_EQ(a.GetCapacity(), 16);
    while (a.GetSize() < 17) a.Add(0);
    EXPECT_EQ(a.GetCapacity(), 32);
    a.SetSize(a.GetSize(), 0);  // back to the size/8 rule
    while (a.GetSize() < 33) a.Add(0);
    EXPECT_EQ(a.GetCapacity(), 36);
}

TEST(GrowArray, InsertAndRemove) {
    GrowArray<int> a;
    a.Add(1);
    a.Add(2);
    a.InsertAt(5, 9, 2);  // past the end: the gap is default-constructed
    EXPECT_EQ(Values(a), (std::vector<int>{1, 2, 0, 0, 0, 9, 9}));
    EXPECT_EQ(a.GetUpperBound(), 6);

    GrowArray<int> b;
    for (int v : {1, 2, 3}) b.Add(v);
    b.InsertAt(1, 7, 2);
    EXPECT_EQ(Values(b), (std::vector<int>{1, 7, 7, 2, 3}));
    b.InsertAt(5, 4);  // exactly at the end appends
    EXPECT_EQ(Values(b), (std::vector<int>{1, 7, 7, 2, 3, 4}));
    b.RemoveAt(1, 2);
    EXPECT_EQ(Values(b), (std::vector<int>{1, 2, 3, 4}));
    b.RemoveAt(2, 100);  // count clipped at the end
    EXPECT_EQ(Values(b), (std::vector<int>{1, 2}));
    b.RemoveAt(5);
    b.RemoveAt(-1);
    b.RemoveAt(0, 0);
    EXPECT_EQ(Values(b), (std::vector<int>{1, 2}));
    b.RemoveAt(0);
    EXPECT_EQ(Values(b), (std::vector<int>{2}));

    GrowArray<int> c;
    c.SetAtGrow(3, 8);
    EXPECT_EQ(Values(c), (std::vector<int>{0, 0, 0, 8}));
    c.SetAt(0, 5);
    EXPECT_EQ(c.GetAt(0), 5);
    EXPECT_EQ(c.ElementAt(3), 8);
    EXPECT_THROW(c.SetAt(4, 1), std::out_of_range);
}

struct Counted {
    static int live;
    int value = -1;
    Counted() { ++live; }
    explicit Counted(int v) : value(v) { ++live; }
    Counted(const Counted& o) : value(o.value) { ++live; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --live; }
    bool operator==(const Counted& o) const { return value == o.value; }
};
int Counted::live = 0;

// An element of the array itself may be added, inserted or set: the array
// copies it before it grows and frees the storage the element lies in. An
// index past what an int can count is refused before anything is allocated.
TEST(GrowArray, OwnElementsGoInAndWildIndicesAreRefused) {
    const std::string first(40, 'a');  // long enough to live on the heap
    GrowArray<std::string> a;
    a.Add(first);
    while (a.GetSize() < a.GetCapacity()) a.Add("x");
    a.Add(a[0]);  // the array is full: this Add moves the storage
    EXPECT_EQ(a[a.GetUpperBound()], first);
    while (a.GetSize() < a.GetCapacity()) a.Add("y");
    a.InsertAt(1, a[0], 3);
    EXPECT_EQ(a[1], first);
    EXPECT_EQ(a[3], first);
    const int past = a.GetCapacity() + 5;
    a.SetAtGrow(past, a[0]);
    EXPECT_EQ(a[past], first);
    a.InsertAt(past + 3, a[0]);
    EXPECT_EQ(a[past + 3], first);

    const int size = a.GetSize();
    EXPECT_THROW(a.InsertAt(INT_MAX, "z"), std::out_of_range);
    EXPECT_THROW(a.InsertAt(1, "z", INT_MAX), std::out_of_range);
    EXPECT_THROW(a.SetAtGrow(INT_MAX, "z"), std::out_of_range);
    EXPECT_THROW(a.SetAtGrow(-1, "z"), std::out_of_range);
    a.RemoveAt(1, INT_MAX);  // to the end, without overflow
    EXPECT_EQ(a.GetSize(), 1);
    EXPECT_GT(size, 1);
}

TEST(GrowArray, ElementsAreCreatedAndDestroyedAsValues) {
    Counted::live = 0;
    {
        GrowArray<Counted> a;
        a.SetSize(5);
        EXPECT_EQ(Counted::live, 5);
        EXPECT_EQ(a[4].value, -1);  // default-constructed
        a.Add(Counted(7));
        EXPECT_EQ(Counted::live, 6);
        a.RemoveAt(0, 3);
        EXPECT_EQ(Counted::live, 3);
        EXPECT_EQ(a[2].value, 7);
        a.InsertAt(6, Counted(1));
        EXPECT_EQ(Counted::live, a.GetSize());
        a.SetSize(2);
        EXPECT_EQ(Counted::live, 2);
        a.RemoveAll();
        EXPECT_EQ(Counted::live, 0);
        EXPECT_EQ(a.GetCapacity(), 0);
        a.SetSize(4);
    }
    EXPECT_EQ(Counted::live, 0);
}

// ---------------------------------------------------------------------------
// PtrList and StringList

// What a cache built on the elements learns from the array: nothing for
// reading, the one element handed out for writing, or that anything may have
// changed.
TEST(GrowArray, TellsCachesWhatWasHandedOutForWriting) {
    using Array = GrowArray<int>;
    Array a;
    a.SetSize(10);
    Array::ChangeStamp stamp = a.GetChangeStamp();
    const Array& view = a;
    EXPECT_EQ(view[3] + view.GetAt(4) + a.GetSize(), 10);
    EXPECT_EQ(a.ChangedSince(stamp), Array::kUnchanged);
    a[3] = 1;
    a.ElementAt(3) = 2;
    EXPECT_EQ(a.ChangedSince(stamp), 3);
    stamp = a.GetChangeStamp();
    a.SetAt(5, 1);
    EXPECT_EQ(a.ChangedSince(stamp), 5);
    a[6] = 1;
    EXPECT_EQ(a.ChangedSince(stamp), Array::kAnyChange);

    const auto anyChange = [&](auto change) {
        const Array::ChangeStamp before = a.GetChangeStamp();
        change();
        return a.ChangedSince(before) == Array::kAnyChange;
    };
    EXPECT_TRUE(anyChange([&] { a.Add(1); }));
    EXPECT_TRUE(anyChange([&] { a.InsertAt(0, 1); }));
    EXPECT_TRUE(anyChange([&] { a.RemoveAt(0); }));
    EXPECT_TRUE(anyChange([&] { a.SetAtGrow(40, 1); }));
    EXPECT_TRUE(anyChange([&] { a.GetData()[0] = 1; }));
    EXPECT_TRUE(anyChange([&] { *a.begin() = 2; }));
    EXPECT_TRUE(anyChange([&] { a = Array(); }));
    EXPECT_TRUE(anyChange([&] { a.RemoveAll(); }));
}

TEST(PtrList, NodesComeInBlocksOfTenAndGoWhenEmpty) {
    int items[25];
    PtrList list;
    EXPECT_EQ(list.GetBlockCount(), 0u);
    for (int i = 0; i < 10; ++i) list.AddTail(&items[i]);
    EXPECT_EQ(list.GetBlockCount(), 1u);
    list.AddTail(&items[10]);
    EXPECT_EQ(list.GetBlockCount(), 2u);
    for (int i = 11; i < 25; ++i) list.AddTail(&items[i]);
    EXPECT_EQ(list.GetCount(), 25);
    EXPECT_EQ(list.GetBlockCount(), 3u);

    // Freed nodes are reused before a new block is taken.
    for (int i = 0; i < 5; ++i) list.RemoveAt(list.GetHeadPosition());
    EXPECT_EQ(list.GetBlockCount(), 3u);
    for (int i = 0; i < 5; ++i) list.AddHead(&items[4 - i]);
    EXPECT_EQ(list.GetBlockCount(), 3u);
    EXPECT_EQ(list.GetCount(), 25);

    // Order is kept both ways.
    int expected = 0;
    for (auto pos = list.GetHeadPosition(); pos;) EXPECT_EQ(list.GetNext(pos), &items[expected++]);
    EXPECT_EQ(expected, 25);
    for (auto pos = list.GetTailPosition(); pos;) EXPECT_EQ(list.GetPrev(pos), &items[--expected]);

    // Removing the last node releases every block.
    while (list.GetCount() > 1) list.RemoveAt(list.GetTailPosition());
    EXPECT_EQ(list.GetBlockCount(), 3u);
    list.RemoveAt(list.GetHeadPosition());
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetBlockCount(), 0u);
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_EQ(list.GetTailPosition(), nullptr);

    // And the list works again afterwards.
    list.AddTail(&items[0]);
    EXPECT_EQ(list.GetBlockCount(), 1u);
    EXPECT_EQ(list.GetHead(), &items[0]);
    EXPECT_EQ(list.GetTail(), &items[0]);
}

TEST(PtrList, FindAndRemoveInTheMiddle) {
    int a = 0, b = 0, c = 0, missing = 0;
    PtrList list;
    list.AddTail(&a);
    const auto pb = list.AddTail(&b);
    list.AddTail(&c);
    EXPECT_EQ(list.Find(&b), pb);
    EXPECT_EQ(list.Find(&missing), nullptr);
    list.RemoveAt(pb);
    EXPECT_EQ(list.GetCount(), 2);
    auto pos = list.GetHeadPosition();
    EXPECT_EQ(list.GetNext(pos), &a);
    EXPECT_EQ(list.GetNext(pos), &c);
    EXPECT_EQ(pos, nullptr);
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetBlockCount(), 0u);
}

TEST(StringList, HoldsStringsInOrder) {
    StringList list;
    for (int i = 0; i < 12; ++i) list.AddTail("warning " + std::to_string(i));
    EXPECT_EQ(list.GetBlockCount(), 2u);
    list.AddHead("first");
    EXPECT_EQ(list.GetHead(), "first");
    EXPECT_EQ(list.GetTail(), "warning 11");
    const auto pos = list.Find("warning 5");
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(list.GetAt(pos), "warning 5");
    list.RemoveAt(pos);
    EXPECT_EQ(list.Find("warning 5"), nullptr);
    std::vector<std::string> all;
    for (auto p = list.GetHeadPosition(); p;) all.push_back(list.GetNext(p));
    ASSERT_EQ(all.size(), 12u);
    EXPECT_EQ(all[5], "warning 4");
    EXPECT_EQ(all[6], "warning 6");
    while (!list.IsEmpty()) list.RemoveAt(list.GetHeadPosition());
    EXPECT_EQ(list.GetBlockCount(), 0u);
}

}  // namespace
}  // namespace qdat::test
