// Message 8 of each shipped file formats any count into the menu's bottom text safely.
#include "engine/engine.h"
#include "testhost/testhost.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(MessageFileFormats, BottomTextOfEachFileTakesAnyCount) {
    for (const char* name : {"/LexamundEng.lng", "/LexamundRus.lng"}) {
        MessageFile file;
        ASSERT_TRUE(ReadMessageFile(std::string(LEXAMUND_MESSAGES_DIR) + name, &file)) << name;
        ASSERT_EQ(file.texts.size(), 12u);
        const std::string& format = file.texts[8];
        for (std::int32_t count : {0, 1, 9, 150, INT_MAX, INT_MIN}) {
            char out[kBottomTextSize + 8];
            std::memset(out, '#', sizeof out);
            FormatCount(out, kBottomTextSize, format.c_str(), count);
            char expected[kBottomTextSize];
            std::snprintf(expected, sizeof expected, "%s%d%s",
                          format.substr(0, format.find("%d")).c_str(), count,
                          format.substr(format.find("%d") + 2).c_str());
            EXPECT_STREQ(out, expected) << name << " " << count;
            EXPECT_EQ(std::string(out + kBottomTextSize, 8), std::string(8, '#'));
        }
    }
}

} // namespace
