// Fuzz target for plan files and integer lists.
//
// Input: the first byte picks the case.
//   even: the rest is the bytes of a plan file, opened into the start-up window as "Open Tpl"
//         does after reading the file. Invariants: the opening either finishes or throws a
//         vexa::Error (a refused file, a list error) and nothing else; the window's lists keep
//         their items; the capture then finishes or throws a vexa::Error; every captured list
//         ends with -1 within its room, levels are ascending items of their band's list; and
//         a save of the window into the same bytes gives a text that opens again.
//   odd:  the second byte is a list capacity (0..63), the rest a text for ParseIntegerList.
//         Invariants: at most capacity - 1 entries, then -1, nothing written beyond the list.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "fuzz_check.h"
#include "instrument/runs/plan_file.h"
#include "instrument/runs/plan_form.h"
#include "instrument/runs/test_plan.h"

namespace vexa::fuzz {
namespace {

template <std::size_t N>
void CheckEnded(const std::array<std::int32_t, N>& list, const char* what, int band) {
  const int length = ListLength(list);
  FUZZ_CHECK(length < static_cast<int>(N),
             std::string(what) + " of band " + std::to_string(band) + " has no end mark");
}

void CheckLists(const PlanForm& form) {
  for (int band = 0; band < kBandCount; ++band) {
    const std::size_t count = IsLowBand(band) ? 15 : 16;
    FUZZ_CHECK(form.Band(band).levels.items.size() == count,
               "level list of band " + std::to_string(band) + " changed its items");
  }
  FUZZ_CHECK(form.CLBtestitem.items.size() == kTestItemCount, "item list changed its items");
}

void CheckCapture(const PlanForm& form, const std::string& input) {
  auto plan = std::make_unique<TestPlan>();
  bool complete = true;
  try {
    CaptureTestPlan(form, *plan);
  } catch (const Error&) {
    complete = false;
  } catch (...) {
    Fail(__FILE__, __LINE__, "the capture throws only vexa::Error", Escaped(input));
  }
  for (int band = 0; band < kBandCount; ++band) {
    CheckEnded(plan->channels[band], "channels", band);
    CheckEnded(plan->levels[band], "levels", band);
    const int length = ListLength(plan->levels[band]);
    const int lowest = IsLowBand(band) ? 5 : 0;
    const int highest = IsLowBand(band) ? 19 : 15;
    for (int i = 0; i < length; ++i) {
      const int level = plan->levels[band][static_cast<std::size_t>(i)];
      FUZZ_CHECK(
          level >= lowest && level <= highest && (i == 0 || level > plan->levels[band][i - 1]),
          "level " + std::to_string(level) + " of band " + std::to_string(band));
    }
  }
  if (complete)
    FUZZ_CHECK(plan->antennaAngle == 0, "antenna angle after a capture");
}

void RunPlanFile(std::string_view bytes) {
  const std::string input(bytes);
  PlanForm form;
  form.FormCreate();
  bool opened = false;
  try {
    ApplyPlanText(form, bytes, "fuzz.tpl");
    opened = true;
  } catch (const Error&) {
  } catch (...) {
    Fail(__FILE__, __LINE__, "opening throws only vexa::Error", Escaped(input));
  }
  CheckLists(form);
  CheckCapture(form, input);
  if (!opened)
    return;
  // What a save writes into the same file opens again.
  std::string saved;
  try {
    saved = MergePlanText(form, bytes, "fuzz.tpl");
  } catch (...) {
    Fail(__FILE__, __LINE__, "a file that opened can be saved into", Escaped(input));
  }
  PlanForm again;
  again.FormCreate();
  try {
    ApplyPlanText(again, saved, "fuzz.tpl");
  } catch (const Error& error) {
    Fail(__FILE__, __LINE__, "a saved plan opens",
         Escaped(input) + " saved as " + Escaped(saved) + ": " + error.what());
  }
}

void RunIntegerList(std::uint8_t capacity_byte, std::string_view text) {
  const std::size_t capacity = capacity_byte % 64;
  std::array<std::int32_t, 72> storage;
  storage.fill(0x5a5a5a5a);
  const int count = ParseIntegerList(text, std::span(storage).first(capacity));
  const auto context = [&] {
    return "capacity " + std::to_string(capacity) + " text \"" + Escaped(text) + "\"";
  };
  if (capacity == 0) {
    FUZZ_CHECK(count == 0, context());
  } else {
    FUZZ_CHECK(count >= 0 && static_cast<std::size_t>(count) < capacity, context());
    FUZZ_CHECK(storage[static_cast<std::size_t>(count)] == kEndOfList, context());
    // Each entry consumes at least one character, up to a NUL.
    FUZZ_CHECK(static_cast<std::size_t>(count) <= text.substr(0, text.find('\0')).size(),
               context());
  }
  for (std::size_t i = capacity; i < storage.size(); ++i)
    FUZZ_CHECK(storage[i] == 0x5a5a5a5a, context() + ": written at " + std::to_string(i));
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const auto* text = reinterpret_cast<const char*>(data);
  if ((data[0] & 1) == 0) {
    vexa::fuzz::RunPlanFile(std::string_view(text + 1, size - 1));
  } else if (size >= 2) {
    vexa::fuzz::RunIntegerList(data[1], std::string_view(text + 2, size - 2));
  }
  return 0;
}
