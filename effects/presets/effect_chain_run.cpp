#include "effects/presets/effect_chain_run.h"

#include <algorithm>
#include <cstring>

#include "config/error_codes.h"
#include "config/text_catalogue.h"
#include "config/text_slots_effects.h"
#include "core/document/sound_document.h"
#include "effects/framework/block_run_worker.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/effect_registry.h"
#include "effects/framework/progress_scope.h"
#include "platform/alloc.h"

namespace tidemark {

namespace {

// The members' nodes and the converters between them, run as one block run.
class ChainPipelineRun final : public CEffRun {
 public:
  struct Stage {
    ChainNodePtr node;  // null: a channel converter
    std::uint16_t from = 0, to = 0;
    bool at_source = false;  // carried out by the worker's read
  };

  ChainPipelineRun(std::vector<Stage> stages, std::uint16_t channels, std::string name)
      : stages_(std::move(stages)), channels_(channels), name_(std::move(name)) {}

  Error Allocate() {
    // Stereo room whatever the outer channels: a member may widen the block.
    frames_ = EffectBlockFrames(channels_);
    return MakeNew(&scratch_, std::size_t{frames_} * 2) ? kChainPipelineFailed : err::kOk;
  }

  Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t) override {
    if (channels != channels_) return kChainPipelineFailed;
    for (std::uint32_t done = 0; done < frames;) {
      const std::uint32_t n = std::min(frames_, frames - done);
      float* const outer = buffer + std::size_t{done} * channels;
      std::memcpy(scratch_.get(), outer, std::size_t{n} * channels * sizeof(float));
      std::uint16_t current = channels;
      for (Stage& stage : stages_) {
        if (!stage.node) {
          if (!stage.at_source) ConvertChannels(scratch_.get(), n, stage.from, stage.to);
          current = stage.to;
          continue;
        }
        if (const Error rc = stage.node->run->Process(scratch_.get(), n, current, stage.node->channel_mask))
          return rc;
      }
      std::memcpy(outer, scratch_.get(), std::size_t{n} * channels * sizeof(float));
      done += n;
    }
    return err::kOk;
  }

  void Reset() override {
    for (Stage& stage : stages_)
      if (stage.node) stage.node->run->Reset();
  }

  std::uint32_t GetLatency() const override {
    std::uint32_t latency = 0;
    for (const Stage& stage : stages_)
      if (stage.node) latency += stage.node->run->GetLatency();
    return latency;
  }

  std::string GetName() const override { return name_; }

 private:
  std::vector<Stage> stages_;
  std::uint16_t channels_;
  std::string name_;
  std::uint32_t frames_ = 0;
  std::unique_ptr<float[]> scratch_;
};

std::string ChainRunName() {
  const std::string_view text = UiText(text::kChainTitle);
  return text.empty() ? std::string("Effect Chain") : std::string(text);
}

}  // namespace

std::uint16_t ChainChannels(const EffectChainPreset& chain, std::uint16_t document_channels) {
  return document_channels == 1 && chain.flag != 0 ? 1 : 2;
}

void ConvertChannels(float* buffer, std::uint32_t frames, std::uint16_t from, std::uint16_t to) {
  if (from == 1 && to == 2) {
    for (std::uint32_t i = frames; i-- > 0;) buffer[2 * i] = buffer[2 * i + 1] = buffer[i];
  } else if (from == 2 && to == 1) {
    for (std::uint32_t i = 0; i < frames; ++i) buffer[i] = (buffer[2 * i] + buffer[2 * i + 1]) * 0.5f;
  }
}

Error RunEffectChain(SoundDocument& document, const PresetRegistry& registry, const EffectChainPreset& chain,
                     std::string* failed_member, std::vector<std::string>* stage_names) {
  std::uint32_t from = 0, to = 0;
  GetSelection(document, &from, &to);
  if (from == to) return err::kNoSelectionRaised;
  if (document.channels != 1 && document.channels != 2) return kChainPipelineFailed;
  const std::uint16_t channels = ChainChannels(chain, document.channels);

  std::vector<ChainPipelineRun::Stage> stages;
  std::vector<CEffEntry::SetupParamsPtr> params;  // runs may refer to their params
  std::uint16_t offered = document.channels;
  const auto convert = [&](std::uint16_t wanted, bool at_source) {
    ChainPipelineRun::Stage stage;
    stage.from = offered;
    stage.to = wanted;
    stage.at_source = at_source;
    stages.push_back(std::move(stage));
    offered = wanted;
  };
  if (offered != channels) convert(channels, true);
  for (const ChainMember& member : chain.members) {
    const std::uint32_t slot = PresetSlotOfKind(member.kind);
    CEffEntry* entry = nullptr;
    if (slot == 0 && member.index < registry.slots[0].size())
      entry = EffectRegistry::FindByKey(registry.slots[0][member.index].identifier);
    const auto fail = [&](const CEffEntry* named) {
      *failed_member = named ? MenuLabel(*named)
                             : (slot < kPresetSlotCount && member.index < registry.slots[slot].size()
                                    ? registry.slots[slot][member.index].identifier
                                    : std::string("?"));
      return err::kEffectChainFailed;
    };
    auto* chainable = entry && entry->IsChainable() ? dynamic_cast<CEffChain_Std*>(entry) : nullptr;
    if (!chainable) return fail(entry);
    CEffEntry::SetupParamsPtr made;
    if (entry->CreateSetupParams(&document, channels, &made)) return fail(entry);
    SettingsBlock block = member.block;  // the stored block stays as it is
    if (chainable->SetupQuiet(nullptr, *made, block)) return fail(entry);
    ChainNodePtr node;
    if (chainable->CreateChainNode(*made, &node)) return fail(entry);
    // A node takes blocks of its output width (a widening member gets its
    // input copied into both channels first).
    if (node->output_channels != 1 && node->output_channels != 2) return kChainPipelineFailed;
    if (offered != node->output_channels) convert(node->output_channels, false);
    params.push_back(std::move(made));
    ChainPipelineRun::Stage stage;
    stage.node = std::move(node);
    stages.push_back(std::move(stage));
  }
  if (offered != channels) convert(channels, false);
  if (stage_names) {
    stage_names->clear();
    for (const ChainPipelineRun::Stage& stage : stages)
      stage_names->push_back(stage.node ? stage.node->name : std::string(kChannelConverterName));
  }

  ChainPipelineRun run(std::move(stages), channels, ChainRunName());
  if (run.Allocate()) return kChainPipelineFailed;
  CEffEntry::SetupParams whole;
  whole.target = &document;
  whole.start = from;
  whole.length = to - from;
  whole.input_channels = document.channels;
  whole.output_channels = channels;
  whole.channel_mask = static_cast<std::uint16_t>(channels == document.channels ? GetChannelMask(document)
                                                                                : (channels == 1 ? 1u : 3u));
  whole.channels_forced = 1;
  whole.ready = 1;
  ProgressScope scope;
  return ProcessBlockRun(scope, whole, run);
}

Error ApplyEffectChain(SoundDocument& document, const PresetRegistry& registry, const std::string& path,
                       std::u16string_view name, std::string* failed_member, std::vector<std::string>* stages) {
  std::uint32_t from = 0, to = 0;
  GetSelection(document, &from, &to);
  if (from == to) return err::kNoSelectionRaised;
  EffectChainPreset chain;
  bool found = false;
  std::uint32_t missing = 0;
  if (ReadOneChain(path, registry, name, &chain, &found, &missing)) return err::kEffectChainUnreadable;
  if (!found) return err::kEffectChainNotFound;
  return RunEffectChain(document, registry, chain, failed_member, stages);
}

}  // namespace tidemark
