// The exit-code table of the code and the one users read in docs/session.md must never drift
// apart: same codes, same order, the status each code shows on Linux, the same cause.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/exit_codes.h"
#include "session/cleanup.h"

namespace {

struct DocumentedRow {
    std::string code;
    std::string status;
    std::string cause;
};

std::string Trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(' ');
    const auto end = text.find_last_not_of(' ');
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// The rows of the table that follows the "| code | status | cause |" heading.
std::vector<DocumentedRow> DocumentedExitCodes() {
    std::ifstream file(std::string(MODLINK_SOURCE_DIR) + "/docs/session.md");
    std::vector<DocumentedRow> rows;
    std::string line;
    bool inTable = false;
    while (std::getline(file, line)) {
        if (line == "| code | status | cause |") {
            inTable = true;
            continue;
        }
        if (!inTable || line.rfind("|---", 0) == 0) {
            continue;
        }
        if (line.empty() || line[0] != '|') {
            break;
        }
        std::vector<std::string> cells;
        std::stringstream cellsOfLine(line.substr(1));
        std::string cell;
        while (std::getline(cellsOfLine, cell, '|')) {
            cells.push_back(Trimmed(cell));
        }
        if (cells.size() == 3) {
            rows.push_back({cells[0], cells[1], cells[2]});
        } else {
            rows.push_back({line, "", ""});
        }
    }
    return rows;
}

TEST(ExitCodes, DocumentationTableMatchesTheCodeRowForRow) {
    const std::vector<DocumentedRow> documented = DocumentedExitCodes();
    const std::size_t rowCount = sizeof ExitCodeTable / sizeof ExitCodeTable[0];
    ASSERT_EQ(documented.size(), rowCount) << "docs/session.md and core/exit_codes.h list different codes";
    for (std::size_t i = 0; i < rowCount; ++i) {
        const ExitCodeRow& row = ExitCodeTable[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(documented[i].code, std::to_string(row.code));
        // What a Linux shell shows: the low 8 bits of the negated code.
        EXPECT_EQ(documented[i].status, std::to_string(ExitStatusOfCode(row.code) & 0xff));
        EXPECT_EQ(documented[i].cause, row.cause);
    }
}

TEST(ExitCodes, EveryFailureHasACodeOfItsOwnInTheAllowedRange) {
    std::set<int> seen;
    for (const ExitCodeRow& row : ExitCodeTable) {
        EXPECT_TRUE(seen.insert(row.code).second) << row.name << " repeats " << row.code;
        if (row.code != ExitCode::Success) {
            EXPECT_GE(row.code, 496) << row.name;
            EXPECT_LE(row.code, 1961) << row.name;
        }
    }
}

} // namespace
