#include "instrument/runs/current_test_run.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/convert.h"
#include "core/errors.h"
#include "core/text_format.h"

namespace vexa {
namespace {

// The bucket thresholds, amperes, compared in double precision; 3 A and more count nowhere.
constexpr double kBucketFloor[kHistogramBuckets] = {-HUGE_VAL, 0.001, 0.01, 0.02,
                                                    0.04,      0.1,   0.2,  0.4};
constexpr double kBucketCeiling = 3.0;

constexpr const char* kHistogramFormats[kHistogramBuckets] = {
    "\t<=Curr<\t1mA\t%ld\t%f%%",        "1mA\t<=Curr<\t10mA\t%ld\t%f%%",
    "10mA\t<=Curr<\t20mA\t%ld\t%f%%",   "20mA\t<=Curr<\t40mA\t%ld\t%f%%",
    "40mA\t<=Curr<\t100mA\t%ld\t%f%%",  "100mA\t<=Curr<\t200mA\t%ld\t%f%%",
    "200mA\t<=Curr<\t400mA\t%ld\t%f%%", "400mA\t<=Curr<\t3A\t%ld\t%f%%"};

constexpr const char* kRangeCommands[] = {"SENS:CURR:RANG 3", "SENS:CURR:RANG 1",
                                          "SENS:CURR:RANG 0.02"};

double Wide(float value) {
  return static_cast<double>(value);
}

// strtod in the C locale: the source answers with '.' whatever the user's region. No value
// when the answer does not begin with a number.
std::optional<double> LeadingNumber(const char* text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  char* end = nullptr;
  const double value = strtod_l(text, &end, c_locale);
  if (end == text)
    return std::nullopt;
  return value;
}

// An answer for a memo line: printable bytes as they are, others as \xNN, at most 60 bytes.
std::string Printable(std::string_view bytes) {
  std::string text;
  for (const char c : bytes.substr(0, 60)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && byte != '\\')
      text += c;
    else
      text += Format("\\x%02X", byte);
  }
  if (bytes.size() > 60)
    text += "...";
  return text;
}

// Readings per batch as a divisor: the mean of whole batches is computed as it always was
// (sum / batches * 0.02), to the last bit.
double BatchesOf(long readings) {
  return static_cast<double>(readings) / kReadingsPerBatch;
}

// "No.%ld Current: %f mA": the line of every reading, the run's most frequent work besides the
// bus, written straight into a stack buffer. std::to_chars with a precision gives exactly what
// printf's "%f" gives in the C locale, whatever the user's region, without Format's two passes.
std::string SampleLine(long number, float reading) {
  const double milliamperes = Wide(reading) * 1000.0;
  char text[160] = "No.";
  char* const limit = text + sizeof text - 3;  // room for " mA"
  char* end = std::to_chars(text + 3, limit, number).ptr;
  constexpr std::string_view kMiddle = " Current: ";
  end = std::copy(kMiddle.begin(), kMiddle.end(), end);
  const std::to_chars_result number_end =
      std::to_chars(end, limit, milliamperes, std::chars_format::fixed, 6);
  if (number_end.ec != std::errc())
    return Format("No.%ld Current: %f mA", number, milliamperes);
  end = std::copy_n(" mA", 3, number_end.ptr);
  return std::string(text, end);
}

// A run stopped before its first batch has no readings: its mean and shares read 0 rather
// than the result of a division by zero.
double Share(double part, double whole) {
  return whole > 0 ? part / whole : 0.0;
}

// A field read in single precision; a value beyond its range is the floating-point overflow,
// before any command is sent.
float SinglePrecision(double value) {
  if (std::fabs(value) > std::numeric_limits<float>::max())
    throw FloatError(kOverflow);
  return static_cast<float>(value);
}

}  // namespace

int CurrentBucket(float reading) {
  const double value = Wide(reading);
  if (!(value < kBucketCeiling))
    return -1;
  for (int bucket = kHistogramBuckets - 1; bucket > 0; --bucket) {
    if (value >= kBucketFloor[bucket])
      return bucket;
  }
  return 0;
}

std::string HistogramLine(int bucket, long count, long total) {
  const double share = total > 0 ? static_cast<double>(count) / static_cast<double>(total) : 0.0;
  return Format(kHistogramFormats[bucket], count, share * 100.0);
}

CurrentTestRun::CurrentTestRun(InstrumentSession& session, CurrentRunView& view, RunClock& clock,
                               CurrentRunOptions options)
    : session_(session), view_(view), clock_(clock), options_(std::move(options)) {
  random_state_ = options_.demo_seed != 0 ? options_.demo_seed : 0x9e3779b9u;
}

CurrentTestRun::~CurrentTestRun() = default;

void CurrentTestRun::RequestStop() {
  control_.RequestStop();
}

void CurrentTestRun::Cancel() {
  control_.Cancel();
}

void CurrentTestRun::CheckStopAndCancel() {
  control_.ThrowIfCancelled();
  if (control_.stop_requested())
    throw Stopped{};
}

bool CurrentTestRun::Configure(const CurrentSettings& settings, bool demo_mode) {
  const InstrumentSession::Use use = session_.MarkInUse();
  view_.ClearMemo();
  // The test time is checked first: a run without a whole batch has no mean to show.
  double minutes = 0;
  try {
    minutes = TextToFloat(settings.minutes);
  } catch (const ConversionError&) {
    minutes = -1;
  }
  if (!(minutes > 0) || !std::isfinite(minutes * 60.0)) {
    view_.AppendLine(kTestTimeRefusal);
    return false;
  }
  test_seconds_ = minutes * 60.0;

  // The log exists before the first command: a folder that cannot be written refuses the test
  // here, not after a whole run.
  log_file_ = std::make_unique<StreamedLog>(options_.log_directory);
  if (log_file_->error() != 0) {
    view_.AppendLine(log_file_->ErrorLine());
    log_file_.reset();
    return false;
  }

  bool opened = false;
  InstrumentSession::Link link = session_.OpenLink(&opened);
  if (!opened && !demo_mode) {
    log_file_.reset();  // a refused test leaves no log behind
    return false;
  }
  // The flags first: a Stop handled as soon as the buttons change must not be overwritten.
  control_.ClearStop();
  configured_ = true;
  view_.SetRunning(true);
  show_samples_ = settings.show_samples;
  float voltage = 0;
  float interval = 0;
  std::int32_t points = 0;
  try {
    voltage = SinglePrecision(TextToFloat(settings.voltage));
    interval = SinglePrecision(TextToFloat(settings.interval));
    points = TextToInt(settings.points);
  } catch (...) {
    // The buttons stay swapped until Stop, but no run is going.
    configured_ = false;
    log_file_.reset();
    throw;
  }
  const auto refuse = [this](const char* line) {
    view_.AppendLine(line);
    configured_ = false;
    log_file_.reset();
    view_.SetRunning(false);
    return false;
  };
  // The set-up holds the bus: no console command lands between its commands.
  std::unique_lock<std::mutex> bus = session_.HoldBus();
  link.Write(Format("VOLT %.2f", Wide(voltage)));
  link.Write("SENS:CURR:DET ACDC");
  if (settings.mode >= 0 && settings.mode < 3)
    link.Write(kRangeCommands[settings.mode]);
  if (!(Wide(interval) >= 15.6 && Wide(interval) <= 3.12e10))
    return refuse(kSampleRateRefusal);
  link.Write(Format("SENS:SWE:TINT %.2fE-6", Wide(interval)));
  if (points < 1 || points > 4096)
    return refuse(kBufferLengthRefusal);
  link.Write(Format("SENS:SWE:POIN %d", points));
  // A demo reading without an instrument takes as long as a real one would.
  pace_ms_ = Wide(interval) * points / 1000.0;
  bus.unlock();
  control_.Wait(std::chrono::milliseconds(options_.settle_ms), /*wake_on_stop=*/false);
  if (control_.cancelled())
    log_file_.reset();
  return !control_.cancelled();
}

std::optional<float> CurrentTestRun::ReadCurrent() {
  CheckStopAndCancel();
  bus::Status written;
  bus::Status status;
  std::string error_line;
  answer_.fill('\0');
  {
    // The query and its answer hold the bus together: a console command goes between them.
    const std::unique_lock<std::mutex> bus = session_.HoldBus();
    InstrumentSession::Link link = session_.CurrentLink();
    written = link.Write("MEAS:CURR?");
    if (written.Failed()) {
      error_line = link.ErrorLine("Unable to write to device", written);
    } else {
      CheckStopAndCancel();
      status = link.Read(answer_.data(), kCurrentAnswerSize);
      if (status.Failed())
        error_line = link.ErrorLine("Unable to read from device", status);
    }
  }
  // Stopped or cancelled while the call ran: its result is not used.
  CheckStopAndCancel();
  const bool answered = !written.Failed() && !status.Failed() && status.ibcntl > 0;
  if (view_.DemoMode()) {
    // Two draws of a small linear congruential generator: b * (a * 1 mA), 0 to 2.871 A.
    const auto draw = [this] {
      random_state_ = random_state_ * 1103515245u + 12345u;
      return static_cast<int>((random_state_ >> 16) & 0x7fff);
    };
    const int a = draw() % 100;
    const int b = draw() % 30;
    if (!answered) {
      // No instrument answered: pace the demo as a real source would deliver its readings.
      control_.Wait(std::chrono::duration<double, std::milli>(pace_ms_));
    }
    return static_cast<float>(b * (a * 0.001));
  }
  if (answered) {
    const char* text = answer_.data();
    const std::optional<double> value = LeadingNumber(text);
    if (value && std::isfinite(*value) && std::fabs(*value) <= std::numeric_limits<float>::max()) {
      return static_cast<float>(*value);
    }
    std::string_view shown(text);
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
      shown.remove_suffix(1);  // the answer's terminator
    error_line = Format("Unreadable answer to MEAS:CURR?: \"%s\"", Printable(shown).c_str());
  } else if (error_line.empty()) {
    error_line = "No answer to MEAS:CURR?";
  }
  view_.AppendLine(error_line);
  return std::nullopt;
}

void CurrentTestRun::Count(float reading) {
  if (reading > maximum_)
    maximum_ = reading;
  if (reading < minimum_)
    minimum_ = reading;
  sum_ += Wide(reading);
  if (const int bucket = CurrentBucket(reading); bucket >= 0)
    ++histogram_[static_cast<std::size_t>(bucket)];
  if (show_samples_)
    view_.AppendLine(SampleLine(readings_, reading));
  ++readings_;
}

void CurrentTestRun::ResetFigures() {
  maximum_ = -1;
  minimum_ = 3;
  sum_ = 0;
  batches_ = 0;
  readings_ = 0;
  failures_in_row_ = 0;
  source_failed_ = false;
  histogram_.fill(0);
  answer_.fill('\0');
  log_path_.clear();
  log_failed_ = false;
}

double CurrentTestRun::RunBatch(double start) {
  // The batch's own extremes (for the plot and the progress), not the run's start values: a
  // batch of readings all above 3 A has its minimum above 3 A.
  float batch_min = std::numeric_limits<float>::infinity();
  float batch_max = -std::numeric_limits<float>::infinity();
  double batch_sum = 0;
  int batch_count = 0;
  // A Stop ends the batch before its next reading; what was read still counts.
  const auto end_batch = [&] {
    const double now = clock_.NowMs();
    view_.SetTestTime(TestTimeCaption(now - start));
    if (batch_count == 0)
      return now;
    ++batches_;
    const double mean = Share(sum_, BatchesOf(readings_)) * 0.02;
    view_.SetAverage(Format("Aver is %f mA", mean * 1000.0));
    CurrentBatch batch;
    batch.batches = batches_;
    batch.readings = readings_;
    batch.elapsed_ms = now - start;
    batch.test_ms = test_seconds_ * 1000.0;
    batch.batch_mean = static_cast<float>(batch_sum / batch_count);
    batch.batch_min = batch_min;
    batch.batch_max = batch_max;
    batch.running_mean = mean;
    batch.histogram = histogram_;
    view_.BatchFinished(batch);
    return now;
  };
  try {
    for (int i = 0; i < kReadingsPerBatch; ++i) {
      const std::optional<float> reading = ReadCurrent();
      if (!reading) {
        // A failed read is no reading; the source's silence ends the run.
        if (++failures_in_row_ >= kFailedReadLimit) {
          source_failed_ = true;
          break;
        }
        continue;
      }
      failures_in_row_ = 0;
      Count(*reading);
      batch_sum += Wide(*reading);
      batch_min = std::min(batch_min, *reading);
      batch_max = std::max(batch_max, *reading);
      ++batch_count;
    }
  } catch (const Stopped&) {
    end_batch();
    throw;
  }
  return end_batch();
}

RunOutcome CurrentTestRun::Run() {
  const InstrumentSession::Use use = session_.MarkInUse();
  // The log Configure created; none when it refused the test.
  const std::unique_ptr<StreamedLog> log_file = std::move(log_file_);
  if (!log_file)
    return RunOutcome::kNotStarted;
  StreamedLog& log = *log_file;
  ResetFigures();

  for (const std::string& line : view_.MemoLines())
    log.AppendLine(line);
  view_.AttachLog(&log);
  try {
    const double start = clock_.NowMs();
    double now = start;
    try {
      while ((now - start) * 0.001 < test_seconds_ && !control_.ending() && !source_failed_)
        now = RunBatch(start);
    } catch (const Stopped&) {
      // Stop: the summary over the readings so far.
    }
    control_.ThrowIfCancelled();
  } catch (const Cancelled&) {
    view_.AttachLog(nullptr);
    return RunOutcome::kCancelled;
  }
  Summarise();
  view_.AttachLog(nullptr);
  const SavedLog saved = log.Finish(LogFileStem(clock_.NowUtc()), ".txt", kCreditLine);
  for (const std::string& line : LogTrailerLines(saved, kCreditLine))
    view_.AppendLine(line);
  log_path_ = saved.path;
  log_failed_ = saved.error != 0;
  const bool stopped = control_.stop_requested();
  configured_ = false;
  view_.SetRunning(false);
  return stopped ? RunOutcome::kStopped : RunOutcome::kFinished;
}

void CurrentTestRun::Summarise() {
  const long total = readings_;
  const double mean_ma = Share(sum_, BatchesOf(readings_)) * 0.02 * 1000.0;
  view_.AppendLine(kCurrentFinishedLine);
  view_.AppendLine(Format("Total %ld, Aver %fmA, Max %fmA, Min %fmA", total, mean_ma,
                          Wide(maximum_) * 1000.0, Wide(minimum_) * 1000.0));
  long counted = 0;
  for (int bucket = 0; bucket < kHistogramBuckets; ++bucket) {
    const long count = histogram_[static_cast<std::size_t>(bucket)];
    counted += count;
    view_.AppendLine(HistogramLine(bucket, count, total));
  }
  view_.AppendLine(Format("Total %f%%",
                          Share(static_cast<double>(counted), static_cast<double>(total)) * 100.0));
  view_.AppendLine(source_failed_ ? kSourceSilentLine : kTestFinishedLine);
}

}  // namespace vexa
