// The command line a hand-over logs, and which calls count as queries.
#include <gtest/gtest.h>

#include "session/external_emulator.h"

TEST(ExternalCommandLine, BlankHoldingPartsAreQuoted) {
    EXPECT_EQ(BuildExternalCommandLine("/kit/bin/sdk-emulator", {}), "/kit/bin/sdk-emulator");
    EXPECT_EQ(BuildExternalCommandLine("/my kit/bin/emulator2", {"-Xquery"}),
              "\"/my kit/bin/emulator2\" -Xquery");
    EXPECT_EQ(BuildExternalCommandLine("/kit/e", {"-Xdescriptor:/a b/c.jad", "-Xdebug", ""}),
              "/kit/e \"-Xdescriptor:/a b/c.jad\" -Xdebug ");
    // Only blanks lead to quotes; other characters are written as they are.
    EXPECT_EQ(BuildExternalCommandLine("/kit/e", {"a\"b", "tab\there"}), "/kit/e a\"b tab\there");
}

TEST(ExternalCommandLine, QueryCalls) {
    EXPECT_TRUE(IsQueryCall({"-Xdevice:x", "-Xquery"}));
    EXPECT_TRUE(IsQueryCall({"-version"}));
    EXPECT_FALSE(IsQueryCall({"-Xqueryall", "-versions", "-help"}));
    EXPECT_FALSE(IsQueryCall({}));
}
