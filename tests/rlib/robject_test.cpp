// tests/rlib/robject_test.cpp - the root object's sticky errors, error texts, assertion reports
// and the memory wrappers with the optional pool.
#include "robject.h"
#include "rstring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
int hookCalls = 0;
} // namespace

TEST(rObject, freshObjectHasNoErrorAndPassesChecks) {
    rObject o;
    EXPECT_FALSE(o.hasError());
    rString out("stale");
    EXPECT_STREQ(o.errorText(out), "");
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(o.check(true, erFileOpen, "x", 1));
    EXPECT_FALSE(o.hasError());

    rObject preset(erFileEof, "name", 3);
    EXPECT_EQ(preset.errorCode(), erFileEof);
    EXPECT_STREQ(preset.errorSubject(), "name");
    EXPECT_EQ(preset.errorValue(), 3u);
}

TEST(rObject, checksAreStickyPerGroupAndLevel) {
    rObject o;
    EXPECT_FALSE(o.check(false, erArrayIndex, nullptr, 7));
    EXPECT_EQ(o.errorCode(), 0x020A2725u);
    EXPECT_EQ(o.errorSubject(), nullptr);
    EXPECT_EQ(o.errorValue(), 7u);
    EXPECT_FALSE(o.check(true, erArrayIndex, nullptr, 0)); // same group, same level: refused
    EXPECT_EQ(o.errorValue(), 7u);
    EXPECT_TRUE(o.check(true, erInsufMemory, nullptr, 0)); // another group
    EXPECT_EQ(o.errorCode(), erArrayIndex);

    rObject f;
    f.check(false, erFileEof, "a", 0);
    EXPECT_TRUE(f.check(true, erFileSeek, nullptr, 0)); // higher level clears
    EXPECT_FALSE(f.hasError());

    f.check(false, erFileOpen, "open", 1);
    EXPECT_FALSE(f.check(false, erFileEof, "eof", 2)); // lower level keeps the stored error
    EXPECT_EQ(f.errorCode(), erFileOpen);
    EXPECT_STREQ(f.errorSubject(), "open");

    rObject w;
    w.check(false, erFileWrite, "w", 1);
    EXPECT_FALSE(w.check(false, erFileSeek, nullptr, 40));
    EXPECT_EQ(w.errorCode(), erFileSeek);
    EXPECT_EQ(w.errorSubject(), nullptr);
    EXPECT_EQ(w.errorValue(), 40u);
    rObject again;
    again.check(false, erFileWrite, "first", 1);
    again.check(false, erFileWrite, "second", 2); // equal level replaces
    EXPECT_STREQ(again.errorSubject(), "second");
    EXPECT_EQ(again.errorValue(), 2u);
}

TEST(rObject, setErrorReturnsThePreviousCodeAndLogsOnlyErrors) {
    const rErrorHook previous = setErrorHook([](rObject*, int level) {
        EXPECT_EQ(level, 5);
        ++hookCalls;
    });
    hookCalls = 0;
    rObject o;
    EXPECT_EQ(o.setError(erFileIO, "f", 1), 0u);
    EXPECT_EQ(o.setError(erFileEof, o.errorSubject(), 2), erFileIO); // its own subject survives
    EXPECT_STREQ(o.errorSubject(), "f");
    EXPECT_EQ(hookCalls, 2);
    EXPECT_EQ(o.setError(0, nullptr, 0), erFileEof);
    o.clearError();
    EXPECT_EQ(hookCalls, 2);
    setErrorHook(previous);
}

TEST(rObject, errorTextUsesTemplatesOrTheNumericFallback) {
    rObject o(erFileOpen, "game.sav", 0);
    rString out;
    EXPECT_STREQ(o.errorText(out), "Cannot open the file \"game.sav\".");
    EXPECT_TRUE(o.hasError());
    EXPECT_STREQ(rObject(erFileSeek, nullptr, 4096).errorText(out), "Cannot seek to offset 4096.");
    rObject memory(erInsufMemory, nullptr, 1152);
    EXPECT_STREQ(memory.errorText(out, true), "Not enough memory: 1152 bytes requested.");
    EXPECT_FALSE(memory.hasError());

    // Without a subject no empty name is shown.
    EXPECT_STREQ(rObject(erFileIO, nullptr, 9).errorText(out),
                 "A stored text is too long to be read.");
    EXPECT_STREQ(rObject(erFileEof, nullptr, 0).errorText(out), "Unexpected end of the data.");
    // Every code of the system has a template that takes its subject and value.
    for (uint32_t code : {erFileIO, erFileEof, erFileWrite, erFileSeek, erFileClose, erFileOpen,
                          erThread, erArrayIndex, erInsufMemory, erCancelled})
        for (const char* subject : {"S", static_cast<const char*>(nullptr)}) {
            const std::string text = rObject(code, subject, 1).errorText(out);
            EXPECT_EQ(text.find("Unspecified"), std::string::npos) << std::hex << code;
            EXPECT_EQ(text.find('%'), std::string::npos) << text;
            EXPECT_EQ(text.find("\"\""), std::string::npos) << text;
            EXPECT_EQ(text.find("\"S\"") != std::string::npos, subject != nullptr) << text;
        }

    rObject unknown(0x05010063, "x", 1); // message 99 has no template
    EXPECT_STREQ(unknown.errorText(out, true), "Unspecified error = 99");
    EXPECT_FALSE(unknown.hasError());
    rObject noGroup(0x00002726, nullptr, 0);
    EXPECT_STREQ(noGroup.errorText(out), "");
}

TEST(rObject, assertionReportsAreFormattedCountedAndCut) {
    resetAssertionReports();
    EXPECT_STREQ(lastAssertionReport(), "");
    EXPECT_TRUE(reportAssertion("a>b", "rLib/rtest", 12));
    EXPECT_STREQ(lastAssertionReport(), "Assertion `a>b` failed at rLib/rtest:12.");
    const std::string longText(400, 'e');
    EXPECT_TRUE(reportAssertion(longText.c_str(), "m", 1));
    EXPECT_EQ(std::strlen(lastAssertionReport()), 255u);
    EXPECT_EQ(assertionCount(), 2u);

    rObject o;
    o.check(false, erArrayIndex, nullptr, 1);
    reportAssertion("x", "y", 3);
    EXPECT_EQ(o.errorCode(), erArrayIndex); // a report changes no object
}

TEST(rMemory, wrappersHandleZeroSizesAndNullTexts) {
    ASSERT_EQ(rMemoryPool::installed(), nullptr);
    EXPECT_EQ(memAlloc(0), nullptr);
    void* block = memAlloc(16);
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "0123456789", 11);
    block = memRealloc(block, 4096);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(static_cast<char*>(block), "0123456789");
    EXPECT_EQ(memRealloc(block, 0), nullptr);
    memFree(nullptr);
    char* empty = memDup(nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    memFree(empty);
}

TEST(rMemory, poolServesItsRangesInOrderAndNeverTakesBack) {
    rMemoryPool pool;
    EXPECT_EQ(rMemoryPool::installed(), &pool);
    rMemoryPool second; // at most one is installed
    EXPECT_EQ(rMemoryPool::installed(), &pool);

    void* small[8];
    for (void*& b : small) {
        b = memAlloc(2000);
        EXPECT_TRUE(pool.owns(b));
    }
    EXPECT_EQ(static_cast<char*>(small[1]) - static_cast<char*>(small[0]), 8192);
    EXPECT_EQ(pool.small().highWater(), 8u);
    void* heap = memAlloc(2000); // the small pool is used up
    EXPECT_FALSE(pool.owns(heap));
    memFree(heap);
    void* tiny = memAlloc(100); // below the small range
    EXPECT_FALSE(pool.owns(tiny));
    memFree(tiny);

    std::memcpy(small[0], "kept", 5);
    EXPECT_EQ(memRealloc(small[0], 8000), small[0]); // still fits its block
    void* grown = memRealloc(small[0], 40000);       // moves to the large pool
    EXPECT_TRUE(pool.large().owns(grown));
    EXPECT_STREQ(static_cast<char*>(grown), "kept");
    void* beyond = memRealloc(small[1], 100000); // no pool takes it: the heap
    ASSERT_NE(beyond, nullptr);
    EXPECT_FALSE(pool.owns(beyond));
    memFree(beyond);
    memFree(small[2]); // does nothing: the block stays the pool's
    EXPECT_EQ(pool.small().used(), 8u);
}
