// The file-writer objects scripts make through IApplication.CreateFileWriter*.
// A writer keeps its output settings; each Process call resolves a source
// object to a clip, fills the settings left at 0 from it, converts the clip
// to the chosen rate and channels and writes one file with the clip's texts
// and labels. Built so far: PCM and FLAC.
#pragma once

#include <cstdint>
#include <string>

#include "automation/model/model_objects.h"
#include "core/document/sound_document.h"

namespace tidemark::NS_SCRIPT {

// A writer of the application (Parent is the application).
template <typename Derived, typename Interface>
class CFileWriter : public CAppChild<Derived, Interface> {
 public:
  HRESULT get_Parent(IDispatch** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!this->app_) return E_ACCESSDENIED;
    return ReturnObject<IDispatch>(static_cast<IApplication*>(this->app_), out);
  }

 protected:
  explicit CFileWriter(CApp* app) : CAppChild<Derived, Interface>(app) {}
};

// What Process hands a writer: the clip converted to the output rate and
// channels as a document carrying the clip's labels and texts, and the full
// path of the file to write.
struct WriterJob {
  DocumentPtr document;
  std::string path;
  std::uint32_t source_rate = 0;
  std::uint16_t source_channels = 0;
  SampleCode source_code = sample_code::kS16;
};

// Steps 1-4 of Process: resolves `src_obj`, refuses an empty name, makes it a
// full path (35, 36), converts the clip to `rate` and `channels` (0: the
// source's). Answers S_OK with `job` filled, or the failure as is
// (application errors raised).
HRESULT PrepareWriterJob(VARIANT* src_obj, BSTR file_name, std::uint32_t rate, std::uint16_t channels,
                         WriterJob* job);

class CFileWriter_PCM final : public CFileWriter<CFileWriter_PCM, IFileWriter_PCM> {
 public:
  explicit CFileWriter_PCM(CApp* app) : CFileWriter(app) {}
  HRESULT get_Channels(INT* out) override;
  HRESULT put_Channels(INT value) override;
  HRESULT get_PcmFileSample(BSTR* out) override;
  HRESULT put_PcmFileSample(BSTR value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;

 private:
  INT channels_ = 0;
  LONG rate_ = 0;
  std::string sample_;  // empty: as the source
};

class CFileWriter_FLAC final : public CFileWriter<CFileWriter_FLAC, IFileWriter_FLAC> {
 public:
  explicit CFileWriter_FLAC(CApp* app) : CFileWriter(app) {}
  HRESULT get_BitsPerSample(INT* out) override;
  HRESULT put_BitsPerSample(INT value) override;
  HRESULT get_Channels(INT* out) override;
  HRESULT put_Channels(INT value) override;
  HRESULT get_CompressLevel(INT* out) override;
  HRESULT put_CompressLevel(INT value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;
  HRESULT get_ReplayGain(VARIANT_BOOL* out) override;
  HRESULT put_ReplayGain(VARIANT_BOOL value) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;
  HRESULT get_Verify(VARIANT_BOOL* out) override;
  HRESULT put_Verify(VARIANT_BOOL value) override;

 private:
  INT bits_ = 0;
  INT channels_ = 0;
  INT level_ = 5;
  bool replay_gain_ = false;
  LONG rate_ = 0;
  bool verify_ = false;
};

}  // namespace tidemark::NS_SCRIPT
