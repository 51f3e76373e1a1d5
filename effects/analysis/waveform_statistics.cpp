#include "effects/analysis/waveform_statistics.h"

#include <memory>

#include "config/error_codes.h"
#include "core/document/sound_document.h"
#include "effects/analysis/statis.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/scan.h"
#include "platform/error_numbers.h"

namespace tidemark {

namespace {

// n − 1, or n below two samples.
double Divisor(double n) { return n < 2 ? n : n - 1; }

}  // namespace

Error MeasureWaveform(ProgressScope& scope, const SoundDocument& document, std::uint32_t start,
                      std::uint32_t length, std::string_view weighting, WaveformStatistics* result) {
  char letter = 0;
  std::string why;
  if (const Error rc = NS_EFFECT::ParseWeighting(weighting, &letter, &why)) return rc;
  if (length == 0) return err::kNoSelection;
  if (document.channels < 1 || document.channels > NS_EFFECT::CStatis::kMaxChannels) return err::kSizeLimit;
  if (start > document.length || length > document.length - start) return err::kSizeLimit;
  // A one-second window.
  std::unique_ptr<NS_EFFECT::CStatis> statis;
  if (const Error rc = NS_EFFECT::CStatis::Create(NS_EFFECT::statis_flag::kAll, document.rate, start, letter,
                                                  document.rate, &statis))
    return rc;
  CEffEntry::SetupParams params;
  // The scan only reads the document.
  params.target = const_cast<SoundDocument*>(&document);
  params.start = start;
  params.length = length;
  params.input_channels = params.output_channels = document.channels;
  params.channel_mask = static_cast<std::uint16_t>(0xFFFFu >> (16 - document.channels));
  if (const Error rc = ScanSelection(scope, params, *statis, statis->GetName() + "...")) return rc;

  const NS_EFFECT::StatisResult raw = statis->result();
  WaveformStatistics out;
  out.channels = document.channels;
  out.instant_peak = statis->Peak(&out.instant_peak_pos);
  out.rms = statis->Rms();
  out.short_rms_peak = statis->ShortRmsPeak(&out.short_rms_peak_pos);
  const double n = raw.frames;
  for (std::uint16_t c = 0; c < document.channels; ++c) {
    const NS_EFFECT::StatisResult::Channel& in = raw.channel[c];
    ChannelStatistics& ch = out.channel[c];
    const double mean = in.sum / n;
    ch.instant_max = in.maximum;
    ch.instant_min = in.minimum;
    ch.offset = mean;
    ch.mean_square = in.sum_of_squares / Divisor(n);
    ch.variance = (in.sum_of_squares - n * mean * mean) / Divisor(n);
  }
  *result = out;
  return err::kOk;
}

}  // namespace tidemark
