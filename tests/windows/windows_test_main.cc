// GoogleTest's main for the Windows build, which leaves out the tests that run POSIX programs.
// Those compare our files with mdbtools or run shell commands; neither exists under Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Test name patterns, each with why it cannot run here.
struct LeftOut {
  const char* pattern;
  const char* reason;
};
constexpr LeftOut kLeftOut[] = {
    {"Create.EmptyDatabaseLooksLikeOneAccessMade", "reads the file back with mdb-tables and mdb-export"},
    {"Create.TablesOfEveryTypeAndOfManyColumnsReadBackEverywhere", "reads the file back with mdbtools"},
    {"Create.NonLatinNamesAndTextReadBackEverywhere", "reads the file back with mdb-export"},
    {"Reading.EveryTableMatchesMdbtoolsAndEveryFixturePassesTheCheck", "compares every table with mdb-export"},
    {"IntegrityCheck.RowsOutsideTheMapOfATableWithoutIndexes", "makes its database with the jet tool through a POSIX shell"},
    {"IntegrityCheck.CountsAccessLeavesOffAreNotesThatWritesKeep", "runs the jet tool through a POSIX shell"},
    {"Reading.Access97TextInItsFileCodePage", "makes its database with the jet tool through a POSIX shell"},
    {"ExecuteTest.ActionStatementsChangeExactlyTheirRows", "counts rows with mdb-export"},
    {"RecordsetTest.AddNewEditAndDeleteReachTheFile", "reads the table back with mdb-export"},
    {"UpdateBandPlan.OnTheFixtureAddsRetiresAndRelinksAndASecondRunChangesNothing", "counts rows with mdb-export"},
    {"UpdateBandPlan.DeletesEveryOldLinkAndRespectsEarlierLinksInAnyCase", "counts rows with mdb-export"},
    {"UpdateLogbook.OnTheFixtureReassignsEveryMatchedContactAndNothingElse", "counts rows with mdb-export"},
    {"UpdateLogbook.RulesLookAtTheCallSignInOrderAndExactly", "counts rows with mdb-export"},
    {"UpdateLogbook.ANullCallSignStopsTheRunAndKeepsWhatWasWritten", "counts rows with mdb-export"},
    {"DdlTest.CreateTableOfEveryTypeTakesRowsAndReadsBackEverywhere", "reads the schema back with mdb-schema"},
    {"DdlTest.IndexAddedToAFilledTableCoversEveryRowAndStaysExact", "reads the table back with mdbtools"},
    {"DdlTest.IndexAddedToAnAccessMadeTable", "reads the table back with mdbtools"},
    {"DdlTest.JetToolCreatesADatabaseFromStatements", "runs the jet tool and mdb-export through a POSIX shell"},
    {"JetSqlFailedRun.*", "runs the jet tool and mdb-export through a POSIX shell"},
    {"InterruptedRun.*", "runs programs through a POSIX shell"},
    {"UpdateLogbook.LogbooksWithA16Or32BitDxccWithAndWithoutIndexes", "compares with mdb-export"},
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string filter = GTEST_FLAG_GET(filter);
  const bool wholeProgram = filter == "*";
  std::string negative;
  for (const LeftOut& l : kLeftOut) negative += (negative.empty() ? "" : ":") + std::string(l.pattern);
  // "positive-negative": our patterns join the negative part, whatever the caller asked for.
  filter += filter.find('-') == std::string::npos ? "-" + negative : ":" + negative;
  GTEST_FLAG_SET(filter, filter);
  // Say so on a run of the whole program, for the suites it has.
  if (wholeProgram && !GTEST_FLAG_GET(list_tests)) {
    const testing::UnitTest& all = *testing::UnitTest::GetInstance();
    for (const LeftOut& l : kLeftOut) {
      std::string suite = std::string(l.pattern).substr(0, std::string(l.pattern).find('.'));
      for (int i = 0; i < all.total_test_suite_count(); ++i) {
        if (suite == all.GetTestSuite(i)->name()) {
          std::printf("[ LEFT OUT ] %s: %s, which Windows does not have\n", l.pattern, l.reason);
          break;
        }
      }
    }
  }
  return RUN_ALL_TESTS();
}
