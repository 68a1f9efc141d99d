// A processor over a generated day, for the fault tests of start-up and the write cycle: `out_`
// points the six DBF files into <dir>/out (the files under test), `ref_` into <dir>/ref (where a
// run that met no fault writes its reference copies). The run log goes to the scratch folder and
// the window's lines are caught; the clock stands at 10:00:00 on the day.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "config/config_info.h"
#include "foundation/run_log.h"
#include "processor/process_io.h"
#include "refdata/reference_tables.h"
#include "tests/faults/fault_plan.h"
#include "tests/support/test_support.h"
#include "tools/sample_day.h"

namespace fw::test {

class DayProcessorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = WindowCatcher::Install();
    SetRunLogFolder(dir_.File("log"));
    day_ = WriteDay(dir_);
    ASSERT_FALSE(day_.securities.empty());
    out_ = DayConfig(dir_, "out");
    ref_ = DayConfig(dir_, "ref");
  }
  void TearDown() override {
    CloseRunLog();
    SetRunLogFolder(".\\log");
    WindowCatcher::Uninstall();
  }

  TempDir dir_;
  FakeClock clock_{kDay, 100000};
  std::shared_ptr<WindowCatcher> window_;
  tools::SampleDay day_;
  config::ConfigInfo out_;
  config::ConfigInfo ref_;
  refdata::ReferenceTables tables_;
  processor::MProcessIO processor_{tables_};
};

}  // namespace fw::test
