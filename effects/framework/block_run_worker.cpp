#include "effects/framework/block_run_worker.h"

#include "core/document/sound_document.h"
#include "core/edit/channel_conversion.h"
#include "core/edit/edit_commands.h"
#include "core/edit/stretch_render.h"
#include "effects/framework/internal/effect_result.h"
#include "effects/framework/progress_scope.h"
#include "platform/error_numbers.h"

namespace tidemark {

namespace {

SampleCode g_working_code = sample_code::kFloat;

class RunProcessor : public StretchProcessor {
 public:
  RunProcessor(CEffRun& run, std::uint32_t mask) : run_(run), mask_(mask) {}
  std::uint32_t LatencyFrames() const override { return run_.GetLatency(); }
  Error Process(float* block, std::uint32_t, std::uint32_t frames, std::uint16_t channels) override {
    return run_.Process(block, frames, channels, mask_);
  }

 private:
  CEffRun& run_;
  std::uint32_t mask_;
};

class ScopeObserver : public RenderObserver {
 public:
  explicit ScopeObserver(ProgressScope& scope) : scope_(scope) {}
  void Progress(std::uint64_t done, std::uint64_t total) override { scope_.Update(done, total); }
  bool Cancelled() override { return scope_.Cancelled(); }

 private:
  ProgressScope& scope_;
};

}  // namespace

Error PutEffectResult(SoundDocument& document, StereoConversion& stereo, EditRequest& request,
                      std::string_view undo_name) {
  stereo.Commit();
  if (const Error rc = ApplyEdit(document, request, undo_name)) {
    stereo.Revert();
    return rc;
  }
  stereo.Announce();
  return err::kOk;
}

void SetEffectWorkingCode(SampleCode code) { g_working_code = code; }
SampleCode EffectWorkingCode() { return g_working_code; }

Error ProcessBlockRun(ProgressScope& scope, const CEffEntry::SetupParams& params, CEffRun& run) {
  SoundDocument& document = *params.target;
  if (document.channels == 2 && document.editor)
    document.editor->Send(effect_msg::kChannelsProcessed, params.channel_mask, 0);
  // Mono made stereo: every view is made before the worker starts, and put
  // in place only together with the output.
  StereoConversion stereo;
  if (params.output_channels > document.channels)
    if (const Error rc = stereo.Prepare(document)) return rc;
  RenderStretch stretch;
  stretch.list = &document.segments;
  stretch.list_length = document.length;
  stretch.channels = document.channels;
  stretch.output_channels = params.output_channels;
  stretch.rate = document.rate;
  stretch.start = params.start;
  stretch.length = params.length;
  stretch.channel_mask = params.channel_mask;
  stretch.output_code = g_working_code;
  RunProcessor processor(run, params.channel_mask);
  ScopeObserver observer(scope);
  EditRequest request;
  request.start = params.start;
  request.old_length = params.length;
  scope.SetCaption(run.GetName() + "...");
  // The worker only renders; the document changes on this thread, after a
  // cancel set at the last moment has had its say.
  if (const Error rc = scope.RunWorker([&](ProgressScope&) {
        return RenderThroughProcessor(stretch, processor, &observer, &request.segments, &request.new_length);
      }))
    return rc;
  return PutEffectResult(document, stereo, request, run.GetName());
}

}  // namespace tidemark
