// tests/rlib/rarray_test.cpp - rArray growth, insertion and removal rules, size guards, and the
// owning and sorted object arrays.
#include "assert_report.h"
#include "rarray.h"

#include <gtest/gtest.h>

#include <string>

namespace {
int compareValues(const void* a, const void* b) {
    const uint32_t x = *static_cast<const uint32_t*>(a);
    const uint32_t y = *static_cast<const uint32_t*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

// An element that counts how often it is destroyed.
struct Counted : rObject {
    explicit Counted(int* deaths, uint32_t key = 0) : deaths(deaths), key(key) {}
    ~Counted() override { ++*deaths; }
    int* deaths;
    uint32_t key;
};

class KeyedArray : public rSortedObjArray {
public:
    explicit KeyedArray(bool duplicates) : rSortedObjArray(duplicates) {}
    int32_t compareKeys(uint32_t a, uint32_t b) const override {
        return a < b ? -1 : a > b ? 1 : 0;
    }
    uint32_t getKey(const rObject* item) const override {
        return static_cast<const Counted*>(item)->key;
    }
};
} // namespace

TEST(rArray, growsByOneStepWhenFull) {
    rArray<uint32_t> a;
    EXPECT_EQ(a.getLimit(), 10u);
    for (uint32_t i = 0; i < 10; ++i)
        a.add(i);
    EXPECT_EQ(a.getLimit(), 10u);
    a.add(10);
    EXPECT_EQ(a.getLimit(), 20u);
    EXPECT_EQ(a[10], 10u);

    rArray<uint32_t> none(0, 5);
    EXPECT_EQ(none.getItems(), nullptr);
    EXPECT_EQ(none.add(1), 1);
    EXPECT_EQ(none.getLimit(), 5u);

    rArray<char> chars(128, 1024);
    const std::string hundred(100, 'c');
    ASSERT_EQ(chars.insertItems(hundred.c_str(), 0, 100), 1);
    ASSERT_EQ(chars.insertItems(hundred.c_str(), 100, 50), 1);
    EXPECT_EQ(chars.getLimit(), 1152u); // 128 + max(1024, 150)

    // A source among the array's own elements (here straddling the index) survives the growth
    // and the move of the tail.
    ASSERT_EQ(a.insertItems(a.getItems(), 2, 10), 1);
    EXPECT_EQ(a.getLimit(), 41u); // 20 + max(10, 21)
    for (uint32_t i = 0; i < 21; ++i)
        EXPECT_EQ(a[i], i < 2 ? i : i < 12 ? i - 2 : i - 10) << i;
}

TEST(rArray, insertAndRemoveCheckIndices) {
    rArray<uint32_t> a;
    for (uint32_t i = 0; i < 5; ++i)
        a.add(i * 10);
    EXPECT_EQ(a.insert(99, 5), 1); // at count: appends
    EXPECT_EQ(a[5], 99u);
    resetAssertionReports();
    EXPECT_EQ(a.insert(1, 7), 0);
    EXPECT_EQ(a.errorCode(), erArrayIndex);
    EXPECT_EQ(a.errorValue(), 7u);
    EXPECT_EQ(a.getCount(), 6u);
    expectReportAt("check(index<=count,erArrayIndex,NULL,index)", "rLib/rarray", "rLib/rarray.h");
    a.clearError();

    a.remove(5);
    a.remove(0);
    EXPECT_EQ(a.getCount(), 4u);
    EXPECT_EQ(a[0], 10u);
    EXPECT_EQ(a[3], 40u);
    a.removeRange(3, 2); // reversed: nothing, no error
    EXPECT_FALSE(a.hasError());
    EXPECT_EQ(a.getCount(), 4u);
    a.removeRange(0, int32_t(a.getCount()));
    EXPECT_EQ(a.errorCode(), erArrayIndex);
    EXPECT_EQ(a.errorValue(), 0u);
    expectReportAt("check( (from<count) && (to<count),erArrayIndex,NULL,from)", "rLib/rarray",
                   "rLib/rarray.h");
    EXPECT_EQ(a.getCount(), 4u);
    a.clearError();
    a.removeRange(1, 2);
    EXPECT_EQ(a.getCount(), 2u);
    EXPECT_EQ(a[1], 40u);
    a.removeRange(-1, 0); // a negative index fails the unsigned comparison
    EXPECT_EQ(a.errorCode(), erArrayIndex);
    EXPECT_EQ(a.getCount(), 2u);

    resetAssertionReports();
    EXPECT_EQ(a[2], 0u); // beyond count: reported, zero element
    EXPECT_EQ(a.get(-1), 0u);
    EXPECT_EQ(assertionCount(), 2u);
}

TEST(rArray, clearAndSetLimitKeepTheirPromises) {
    rArray<uint32_t> a;
    for (uint32_t i = 1; i <= 15; ++i)
        a.add(i);
    a.clear();
    EXPECT_EQ(a.getCount(), 0u);
    EXPECT_EQ(a.getLimit(), 20u);
    for (uint32_t i = 0; i < 20; ++i)
        EXPECT_EQ(a.getItems()[i], 0u);
    uint32_t* block = a.getItems();
    EXPECT_TRUE(a.setLimit(20));
    EXPECT_EQ(a.getItems(), block);
    a.setLimit(0);
    EXPECT_EQ(a.getItems(), nullptr);
    EXPECT_EQ(a.getLimit(), 0u);
}

TEST(rArray, byteSizesBeyondThirtyTwoBitsFailUnchanged) {
    rArray<uint32_t> a;
    a.add(1);
    a.add(2);
    // 4 GiB of elements; the source is never read, as the size fails first.
    EXPECT_EQ(a.insertItems(a.getItems(), 0, 0x40000000u), 0);
    EXPECT_EQ(a.errorCode(), erInsufMemory);
    EXPECT_EQ(a.getCount(), 2u);
    EXPECT_EQ(a[0], 1u);
    EXPECT_EQ(a.getLimit(), 10u);

    rArray<char> chars(16, 0xFFFFFFF0u);
    for (int i = 0; i < 16; ++i)
        chars.add('y');
    EXPECT_EQ(chars.add('z'), 0); // the next step would pass 32 bits
    EXPECT_EQ(chars.errorCode(), erInsufMemory);
    EXPECT_EQ(chars.getCount(), 16u);
}

TEST(rArray, searchAndSortUseTheCallersOrder) {
    rArray<uint32_t> a;
    for (uint32_t v : {30u, 10u, 20u})
        a.add(v);
    a.sort(compareValues);
    EXPECT_EQ(a[0], 10u);
    EXPECT_EQ(a[2], 30u);
    EXPECT_EQ(a.search(20, compareValues), a.getItems() + 1);
    EXPECT_EQ(a.search(25, compareValues), nullptr);
}

TEST(rObjArray, ownsAndDeletesItsElementsOnce) {
    int deaths = 0;
    {
        rObjArray list;
        for (int i = 0; i < 12; ++i)
            list.add(new Counted(&deaths));
        Counted* kept = static_cast<Counted*>(list.getAt(3));
        list.removeItem(kept); // removed, not deleted
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(list.getCount(), 11u);
        EXPECT_EQ(list.indexOf(kept), -1);
        list.deleteAt(0);
        EXPECT_EQ(deaths, 1);
        list.deleteItem(list.getAt(0));
        EXPECT_EQ(deaths, 2);

        list.removeItem(kept); // not in the list
        EXPECT_EQ(list.errorCode(), erArrayIndex);
        EXPECT_EQ(list.errorValue(), 0xFFFFFFFFu);
        list.clearError();
        list.deleteItem(kept); // still deleted
        EXPECT_EQ(deaths, 3);
        EXPECT_EQ(list.getCount(), 9u);
    }
    EXPECT_EQ(deaths, 12);

    rObjArray empty;
    empty.deleteAll();
    EXPECT_EQ(empty.getCount(), 0u);
    empty.freeItem(nullptr);
}

TEST(rSortedObjArray, keepsKeysOrderedWithOrWithoutDuplicates) {
    int deaths = 0;
    KeyedArray unique(false);
    for (uint32_t k : {5u, 1u, 3u})
        EXPECT_EQ(unique.add(new Counted(&deaths, k)), 1);
    Counted* twin = new Counted(&deaths, 3);
    EXPECT_EQ(unique.add(twin), 0);
    EXPECT_EQ(unique.getCount(), 3u);
    EXPECT_EQ(static_cast<Counted*>(unique.getAt(0))->key, 1u);
    EXPECT_EQ(static_cast<Counted*>(unique.getAt(2))->key, 5u);
    EXPECT_EQ(unique.find(twin), 1); // an equal key is enough without duplicates
    delete twin;

    KeyedArray many(true);
    Counted* first = new Counted(&deaths, 3);
    many.add(new Counted(&deaths, 1));
    many.add(first);
    many.add(new Counted(&deaths, 7));
    Counted* second = new Counted(&deaths, 3);
    EXPECT_EQ(many.add(second), 1);
    EXPECT_EQ(many.getAt(1), second); // inserted before the existing equal key
    EXPECT_EQ(many.getAt(2), first);
    EXPECT_EQ(many.find(first), 2);
    EXPECT_EQ(many.find(second), 1);
    Counted stranger(&deaths, 3);
    EXPECT_EQ(many.find(&stranger), -1);
    uint32_t position = 0;
    EXPECT_EQ(many.search(4, position), 0);
    EXPECT_EQ(position, 3u);
}
