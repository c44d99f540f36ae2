// tests/rlib/rarray_test.cpp - rArray growth, insertion and removal rules, size guards, and the
// owning and sorted object arrays.
#include "assert_report.h"
#include "rarray.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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
    EXPECT_EQ(a.getLimit(), 20u); // the zeroed block: checked by the model test below
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
}

TEST(rObjArray, deleteAfterAStoredErrorFreesOnlyWhatWasRemoved) {
    int deaths = 0;
    {
        rObjArray list;
        for (int i = 0; i < 3; ++i)
            list.add(new Counted(&deaths));
        list.remove(7); // stores erArrayIndex: later removals are refused
        ASSERT_EQ(list.errorCode(), erArrayIndex);
        rObject* first = list.getAt(0);
        list.deleteAt(0);
        list.deleteItem(first);
        EXPECT_EQ(list.getCount(), 3u);
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(list.getAt(0), first);

        list.clearError();
        list.deleteAt(0);
        EXPECT_EQ(deaths, 1);
        list.deleteItem(list.getAt(1));
        EXPECT_EQ(deaths, 2);
        EXPECT_EQ(list.getCount(), 1u);
    }
    EXPECT_EQ(deaths, 3); // each element deleted exactly once
}

TEST(rArray, insertItemsFromOwnStoragePastTheCountCopiesTheFormerValues) {
    // Without growth: the source runs into the unused, zeroed part of the block.
    rArray<uint32_t> a(16, 16);
    for (uint32_t v : {1u, 2u, 3u, 4u})
        a.add(v);
    ASSERT_EQ(a.insertItems(a.getItems() + 2, 0, 4), 1);
    const uint32_t expected[] = {3, 4, 0, 0, 1, 2, 3, 4};
    ASSERT_EQ(a.getCount(), 8u);
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(a[i], expected[i]) << i;

    // With growth: the source lies in the block that the growth releases.
    rArray<uint32_t> b(8, 8);
    for (uint32_t v : {1u, 2u, 3u, 4u})
        b.add(v);
    ASSERT_EQ(b.insertItems(b.getItems() + 2, 4, 5), 1);
    const uint32_t grown[] = {1, 2, 3, 4, 3, 4, 0, 0, 0};
    ASSERT_EQ(b.getCount(), 9u);
    for (uint32_t i = 0; i < 9; ++i)
        EXPECT_EQ(b[i], grown[i]) << i;
}

TEST(rArray, aGrowthStepOfZeroRecordsTheRefusedGrowth) {
    rArray<uint32_t> a(2, 0);
    a.add(1);
    a.add(2);
    resetAssertionReports();
    EXPECT_EQ(a.add(3), 0);
    EXPECT_EQ(a.errorCode(), erInsufMemory);
    EXPECT_EQ(a.errorValue(), 8u);
    expectReportAt("check(items!=NULL,erInsufMemory,NULL,limit*sizeof(_T))", "rLib/rarray",
                   "rLib/rarray.h");
    EXPECT_EQ(a.getCount(), 2u);
    EXPECT_EQ(a[1], 2u);

    rArray<uint32_t> none(0, 0);
    EXPECT_EQ(none.insert(1, 0), 0);
    EXPECT_EQ(none.errorCode(), erInsufMemory);
    EXPECT_EQ(none.getCount(), 0u);
}

TEST(rSortedObjArray, absentKeysAreNotFoundAndSearchGivesTheirPlace) {
    int deaths = 0;
    for (bool duplicates : {false, true}) {
        KeyedArray keyed(duplicates);
        for (uint32_t k : {10u, 20u, 30u, 40u})
            ASSERT_EQ(keyed.add(new Counted(&deaths, k)), 1);
        for (uint32_t k : {5u, 15u, 25u, 35u, 45u}) {
            Counted absent(&deaths, k);
            EXPECT_EQ(keyed.find(&absent), -1) << k;
            uint32_t position = 99;
            EXPECT_EQ(keyed.search(k, position), 0) << k;
            EXPECT_EQ(position, k / 10) << k; // before the first larger key
        }
        for (uint32_t i = 0; i < 4; ++i) {
            uint32_t position = 99;
            EXPECT_EQ(keyed.search((i + 1) * 10, position), 1);
            EXPECT_EQ(position, i);
            EXPECT_EQ(keyed.find(keyed.getAt(i)), int32_t(i));
        }
        // Added keys land at their sorted place, the smallest and largest included.
        for (uint32_t k : {45u, 1u, 25u})
            ASSERT_EQ(keyed.add(new Counted(&deaths, k)), 1);
        for (uint32_t i = 0; i + 1 < keyed.getCount(); ++i)
            EXPECT_LT(static_cast<Counted*>(keyed.getAt(i))->key,
                      static_cast<Counted*>(keyed.getAt(i + 1))->key);
    }
}

namespace {
// One random edit of an rArray and the same edit of a vector; false when the edit was refused
// (the array must then be unchanged, with the expected error recorded).
struct ArrayModel {
    rArray<uint32_t> array;
    std::vector<uint32_t> model;
    std::mt19937 random;

    ArrayModel(uint32_t limit, uint32_t delta, uint32_t seed) : array(limit, delta), random(seed) {}

    uint32_t below(uint32_t n) { return n == 0 ? 0 : uint32_t(random() % n); }

    void step() {
        const uint32_t count = array.getCount();
        const uint32_t value = uint32_t(random());
        switch (below(9)) {
        case 0: // insert, now and then beyond count
        case 1: {
            const uint32_t index = below(count + 2);
            const bool valid = index <= count;
            const bool full = count >= array.getLimit() && array.getDelta() == 0;
            const int done = array.insert(value, index);
            if (valid && !full) {
                ASSERT_EQ(done, 1);
                model.insert(model.begin() + index, value);
            } else {
                ASSERT_EQ(done, 0);
                ASSERT_EQ(array.errorCode(), valid ? erInsufMemory : erArrayIndex);
                array.clearError();
            }
            break;
        }
        case 2: { // insertItems from outside or from the array's own block
            const uint32_t index = below(count + 1);
            std::vector<uint32_t> source;
            const uint32_t* from;
            uint32_t n;
            if (array.getLimit() > 0 && below(2) == 0) {
                const uint32_t offset = below(array.getLimit());
                n = below(array.getLimit() - offset + 1);
                from = array.getItems() + offset;
            } else {
                n = below(25);
                for (uint32_t i = 0; i < n; ++i)
                    source.push_back(uint32_t(random()));
                from = source.data();
            }
            const std::vector<uint32_t> before(from, from + n);
            ASSERT_EQ(array.insertItems(from, index, n), 1);
            model.insert(model.begin() + index, before.begin(), before.end());
            break;
        }
        case 3: // remove, now and then beyond count
            if (const uint32_t index = below(count + 1); index < count) {
                array.remove(index);
                model.erase(model.begin() + index);
            } else {
                array.remove(index);
                ASSERT_EQ(array.errorCode(), erArrayIndex);
                array.clearError();
            }
            break;
        case 4: { // removeRange, reversed ranges included
            const int32_t from = int32_t(below(count + 1)), to = int32_t(below(count + 2)) - 1;
            array.removeRange(from, to);
            if (to < from) {
                ASSERT_FALSE(array.hasError());
            } else if (uint32_t(to) < count && uint32_t(from) < count) {
                model.erase(model.begin() + from, model.begin() + to + 1);
            } else {
                ASSERT_EQ(array.errorCode(), erArrayIndex);
                array.clearError();
            }
            break;
        }
        case 5: { // setLimit, growing or shrinking
            const uint32_t n = below(count + 20);
            ASSERT_TRUE(array.setLimit(n));
            ASSERT_EQ(array.getLimit(), n);
            if (model.size() > n)
                model.resize(n);
            break;
        }
        case 6:
            if (below(8) == 0) {
                array.clear();
                model.clear();
                for (uint32_t i = 0; i < array.getLimit(); ++i)
                    ASSERT_EQ(array.getItems()[i], 0u);
            }
            break;
        default: // add
            if (count >= array.getLimit() && array.getDelta() == 0) {
                ASSERT_EQ(array.add(value), 0);
                ASSERT_EQ(array.errorCode(), erInsufMemory);
                array.clearError();
            } else {
                ASSERT_EQ(array.add(value), 1);
                model.push_back(value);
            }
            break;
        }
    }

    void expectSame() {
        ASSERT_FALSE(array.hasError());
        ASSERT_EQ(array.getCount(), model.size());
        ASSERT_LE(array.getCount(), array.getLimit());
        for (uint32_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(array.getItems()[i], model[i]) << i;
    }
};
} // namespace

// Growth is a state machine: random edits of every kind, with steps of 0, 1 and more, must
// leave the array equal to a vector that received the same edits.
TEST(rArray, randomEditsMatchAVectorModel) {
    const uint32_t shapes[][2] = {{0, 1}, {1, 1}, {10, 10}, {0, 0}, {4, 0}, {3, 7}, {0, 64}};
    for (uint32_t seed = 1; seed <= 60; ++seed)
        for (const auto& shape : shapes) {
            ArrayModel m(shape[0], shape[1], seed);
            const uint32_t steps = 1 + seed * 7 % 300;
            for (uint32_t i = 0; i < steps; ++i) {
                ASSERT_NO_FATAL_FAILURE(m.step());
                ASSERT_NO_FATAL_FAILURE(m.expectSame())
                    << "seed " << seed << " shape " << shape[0] << "/" << shape[1] << " step " << i;
            }
        }
}
