// tests/rlib/assert_report.h - checks the thread's last assertion report against our sources.
#pragma once

#include "robject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

// The last report quotes expression, names module, and gives a line of sourceFile (relative to
// the repository) that holds the quoted text; a null sourceFile checks only the form.
inline void expectReportAt(const char* expression, const char* module, const char* sourceFile) {
    const std::string report = lastAssertionReport();
    const std::string head =
        std::string("Assertion `") + expression + "` failed at " + module + ":";
    ASSERT_EQ(report.rfind(head, 0), 0u) << report;
    char* end = nullptr;
    const unsigned line = unsigned(std::strtoul(report.c_str() + head.size(), &end, 10));
    ASSERT_GT(line, 0u);
    EXPECT_STREQ(end, ".");
    if (sourceFile == nullptr)
        return;
    const std::string here = __FILE__;
    const std::string root = here.substr(0, here.rfind('/')) + "/../../";
    std::ifstream source(root + sourceFile);
    ASSERT_TRUE(source.good()) << sourceFile;
    std::string text, window;
    for (unsigned n = 1; std::getline(source, text); ++n)
        if (n + 2 >= line && n <= line + 2)
            window += text;
    EXPECT_NE(window.find(std::string("\"") + expression + "\""), std::string::npos)
        << report << " does not point at the text: " << window;
}
