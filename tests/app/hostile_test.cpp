// tests/app/hostile_test.cpp - the catalogues and the writer in game directories that work against
// them: saves that are no files, huge descriptions and file systems that refuse writes. None may
// crash, hang or lose a save.
#include "hostiletest.h"

#include <cstring>
#include <filesystem>

namespace {

TEST_F(HostileGameTest, ASaveThatIsADirectoryIsLeftOutAndNeverWrittenOver) {
    mod("Mods/A");
    save("save/P/Good", {"Mods\\A"});
    std::filesystem::create_directories(at("save/P/Folder/game.sav"));
    EXPECT_EQ(catalogue(dir), "mod Mods\\A\nsave [2003/11/09 14:16:34 P] Good: Mods\\A\n");

    // A save whose file became a directory since it was read is not written over.
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    ASSERT_EQ(list.getCount(), 1u);
    SaveGame* good = list.save(0);
    ASSERT_TRUE(good->removeMod(list.mods.findByName("Mods\\A")));
    const std::string former = bytesOf("save/P/Good/game.sav");
    std::filesystem::rename(at("save/P/Good/game.sav"), at("save/P/kept.sav"));
    std::filesystem::create_directories(at("save/P/Good/game.sav"));
    EXPECT_FALSE(list.saveAll());
    EXPECT_EQ(good->modified, 1u);
    EXPECT_TRUE(std::filesystem::is_directory(at("save/P/Good/game.sav")));
    EXPECT_EQ(bytesOf("save/P/kept.sav"), former);
}

TEST_F(HostileGameTest, ADescriptionOfFiftyMegabytesIsReadWhole) {
    std::string content, expected;
    const std::string line(99, 'd');
    while (content.size() < 25u << 20) {
        content += line + "\r\n";
        expected += (expected.empty() ? "" : " ") + line;
    }
    const std::string last(25u << 20, 'e'); // a last line of 25 MB without a line end
    content += last;
    expected += " " + last;
    mod("Mods/Huge", content);
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    list.scan();
    ASSERT_EQ(list.mods.getCount(), 1u);
    const rString& description = list.mods.mod(0)->description;
    ASSERT_EQ(description.length(), expected.size());
    EXPECT_TRUE(std::memcmp(description.text(), expected.data(), expected.size()) == 0);
}

TEST_F(HostileGameTest, AFullOrReadOnlyFileSystemLosesNothing) {
    mod("Mods/A");
    mod("Mods/B");
    save("save/P/S", {"Mods\\A"});
    ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.bak"), "the older backup"));
    using writefault::Reason;
    using writefault::Step;
    struct Case {
        const char* what;
        Step step;
        Reason reason;
        int allowed;
        const char* part;
    };
    // A disk that fills at once or after the first block, and a file system mounted read-only:
    // new files cannot be made there, nothing can be moved, linked or re-timed.
    const Case cases[] = {
        {"write, full", Step::write, Reason::diskFull, 0, ""},
        {"second write, full", Step::write, Reason::diskFull, 1, ""},
        {"flush, full", Step::flush, Reason::diskFull, 0, ""},
        {"create, read-only", Step::create, Reason::readOnly, 0, ".new"},
        {"replace, read-only", Step::replace, Reason::readOnly, 0, "save"},
        {"link, read-only", Step::link, Reason::readOnly, 0, "save"},
        {"time, read-only", Step::setTime, Reason::readOnly, 0, ""},
    };
    const std::string former = bytesOf("save/P/S/game.sav");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SaveList list;
        list.setProgramDirectory(rString(dir.c_str()));
        ASSERT_TRUE(list.scan());
        ASSERT_EQ(list.getCount(), 1u);
        ASSERT_TRUE(list.save(0)->addMod(list.mods.findByName("Mods\\B")));
        writefault::failFrom(c.step, c.part, c.reason, c.allowed);
        const bool written = list.saveAll();
        writefault::stop();
        if (written) {
            // A refusal that the writer could do without: the save must then be complete.
            EXPECT_EQ(bytesOf("save/P/S/game.sav"),
                      rewritten(former, {"Mods\\A", "Mods\\B"}, gamegen::entriesOffset + 7));
            ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.sav"), former));
            ASSERT_TRUE(gamegen::setModTime(at("save/P/S/game.sav"), 1068387394, 0));
        } else {
            EXPECT_EQ(list.save(0)->modified, 1u);
            EXPECT_EQ(bytesOf("save/P/S/game.sav"), former);
        }
        // The older backup may give way to the former file, never to anything else.
        const std::string backup = bytesOf("save/P/S/game.bak");
        EXPECT_TRUE(backup == former || (!written && backup == "the older backup"));
        // game.bak may be a second name of game.sav: it is replaced, never written through.
        std::filesystem::remove(at("save/P/S/game.bak"));
        ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.bak"), "the older backup"));
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(at("save/P/S")))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"game.bak", "game.sav"}));
    }
}

} // namespace
