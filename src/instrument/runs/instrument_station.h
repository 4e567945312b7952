// The instruments of one test station: the GSM test set's session ("8960" page), the DC
// source's session ("66319" page) and the test plan that the configuration captures and the
// GSM test run reads. The main window owns one and hands it to its pages and the test-plan
// window; each vexa-cli command builds its own. Nothing here is program-wide: two stations
// are two independent sets of instruments (they share only the GPIB driver, which is one per
// process, see gpib_driver.h).
#pragma once

#include <memory>
#include <utility>

#include "instrument/bus/instrument_session.h"
#include "instrument/runs/test_plan.h"

namespace vexa {

struct InstrumentStation {
  // The instruments' GPIB addresses.
  static constexpr int kTestSetAddress = 14;
  static constexpr int kDcSourceAddress = 5;

  // Both instruments on the GPIB driver at their own addresses (until a connection is set).
  InstrumentStation() : InstrumentStation(nullptr, nullptr) {}
  // The instruments on the transports given (nullptr: the GPIB driver, as above).
  InstrumentStation(std::shared_ptr<Transport> test_set, std::shared_ptr<Transport> dc_source)
      : TestSetDevice(kTestSetAddress, 0, AfterFailedClear::kContinue, std::move(test_set)),
        DcSourceDevice(kDcSourceAddress, -1, AfterFailedClear::kStop, std::move(dc_source)) {}
  InstrumentStation(const InstrumentStation&) = delete;
  InstrumentStation& operator=(const InstrumentStation&) = delete;

  // Handle 0 before the first open; a failed clear still lets the console send its command.
  InstrumentSession TestSetDevice;
  // Handle -1 before the first open; a failed clear counts as a failed open.
  InstrumentSession DcSourceDevice;
  // Filled by the configuration ("Config" in the test-plan window), read by the GSM test run.
  TestPlan Plan{};
};

}  // namespace vexa
