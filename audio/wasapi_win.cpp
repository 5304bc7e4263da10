// Live capture on Windows: WASAPI in shared mode, event-driven. Without
// --source, loopback of the default output (what the system plays); --source
// names an output (loopback as well) or an input such as a microphone.
//
// Windows hands out no loopback packets while nothing plays; the read then
// returns silence every 10 ms, so that the lamps go dark and time runs on.
#include <initguid.h>  // First: the GUIDs of the headers below are defined here.
#include <windows.h>
#include <audioclient.h>
#include <functiondiscoverykeys_devpkey.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <cstdio>
#include <cstring>

#include "audio/capture_backend.h"
#include "audio/pcm_convert.h"

namespace {

constexpr REFERENCE_TIME kBufferDuration = 200000;  // 20 ms, in 100 ns units.
constexpr DWORD kQuietWaitMs = 10;

// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, spelled out: ksmedia.h wants more setup.
const GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010,
                            {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

template <typename T>
void Release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

std::string HresultText(const char* what, HRESULT hr) {
  char text[160];
  std::snprintf(text, sizeof text, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
  return text;
}

std::string Narrow(const wchar_t* wide) {
  if (!wide) return "";
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], size, nullptr, nullptr);
  return text;
}

std::string FriendlyName(IMMDevice* device) {
  IPropertyStore* store = nullptr;
  std::string name;
  if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &store))) {
    PROPVARIANT value;
    PropVariantInit(&value);
    if (SUCCEEDED(store->GetValue(PKEY_Device_FriendlyName, &value)) && value.vt == VT_LPWSTR)
      name = Narrow(value.pwszVal);
    PropVariantClear(&value);
    store->Release();
  }
  return name;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && _stricmp(a.c_str(), b.c_str()) == 0;
}

// The layout of WASAPI's mix format.
PcmLayout LayoutOf(const WAVEFORMATEX* format) {
  PcmLayout layout;
  layout.channels = format->nChannels;
  layout.bytesPerSample = format->wBitsPerSample / 8;
  layout.validBits = format->wBitsPerSample;
  layout.isFloat = format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
  if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22) {
    const WAVEFORMATEXTENSIBLE* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
    layout.validBits = ext->Samples.wValidBitsPerSample;
    layout.isFloat = IsEqualGUID(ext->SubFormat, kSubtypeFloat);
  }
  return layout;
}

struct ComScope {
  bool owned;
  ComScope() : owned(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
};

// The device --source names among the active outputs and inputs, or the
// default output. *loopback: an output, captured as it plays.
HRESULT FindDevice(IMMDeviceEnumerator* enumerator, const std::string& source,
                   IMMDevice** device, bool* loopback, std::string* error) {
  *loopback = true;
  if (source.empty()) {
    const HRESULT hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device);
    // No output, or the Windows Audio service stopped: say what helps.
    if (FAILED(hr))
      *error = HresultText("finding the default output", hr) +
               "\nlightbeat: no sound output answers: start the Windows Audio service or "
               "connect an output, or read a file: lightbeat --file FILE.wav --realtime";
    return hr;
  }
  for (EDataFlow flow : {eRender, eCapture}) {
    IMMDeviceCollection* devices = nullptr;
    if (FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &devices))) continue;
    UINT count = 0;
    devices->GetCount(&count);
    for (UINT i = 0; i < count && !*device; ++i) {
      IMMDevice* candidate = nullptr;
      if (FAILED(devices->Item(i, &candidate))) continue;
      if (SameName(FriendlyName(candidate), source)) {
        *device = candidate;
        *loopback = flow == eRender;
      } else {
        candidate->Release();
      }
    }
    devices->Release();
    if (*device) return S_OK;
  }
  *error = "no sound device is named \"" + source + "\" (see --list-sources)";
  return E_FAIL;
}

class WasapiBackend : public CaptureBackend {
 public:
  ~WasapiBackend() override {
    if (client) client->Stop();
    Release(capture);
    Release(client);
    if (ready) CloseHandle(ready);
    if (com.owned) CoUninitialize();
  }

  CaptureStatus Read(std::vector<float>* samples, std::string* error) override {
    for (;;) {
      UINT32 frames = 0;
      HRESULT hr = capture->GetNextPacketSize(&frames);
      if (FAILED(hr)) {
        *error = HresultText("capture", hr);
        return CaptureStatus::kFailed;
      }
      if (frames == 0) {
        if (WaitForSingleObject(ready, kQuietWaitMs) == WAIT_TIMEOUT) {
          // Nothing plays: silence, so that the analysis sees time pass.
          samples->assign(size_t(sampleRate / 100) * OutputChannels(layout), 0.0f);
          return CaptureStatus::kOk;
        }
        continue;
      }
      BYTE* data = nullptr;
      DWORD flags = 0;
      hr = capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
      if (FAILED(hr)) {
        *error = HresultText("capture", hr);
        return CaptureStatus::kFailed;
      }
      if (flags & AUDCLNT_BUFFERFLAGS_SILENT)
        samples->assign(size_t(frames) * OutputChannels(layout), 0.0f);
      else
        ConvertToFloat(data, frames, layout, samples);
      capture->ReleaseBuffer(frames);
      return CaptureStatus::kOk;
    }
  }

  double Latency() override {
    REFERENCE_TIME latency = 0;
    if (!client || FAILED(client->GetStreamLatency(&latency))) return 0;
    return latency / 1e7;
  }

  ComScope com;
  IAudioClient* client = nullptr;
  IAudioCaptureClient* capture = nullptr;
  HANDLE ready = nullptr;
  PcmLayout layout;
  int sampleRate = 0;
};

}  // namespace

CaptureBackend* OpenLiveBackend(const std::string& source, CaptureFormat* format,
                                std::string* error) {
  WasapiBackend* s = new WasapiBackend;
  IMMDeviceEnumerator* enumerator = nullptr;
  IMMDevice* device = nullptr;
  WAVEFORMATEX* mix = nullptr;
  bool loopback = true;
  HRESULT hr = CoCreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_ALL,
                                IID_IMMDeviceEnumerator, reinterpret_cast<void**>(&enumerator));
  if (FAILED(hr)) *error = HresultText("opening the sound devices", hr);
  if (SUCCEEDED(hr)) hr = FindDevice(enumerator, source, &device, &loopback, error);
  if (SUCCEEDED(hr)) {
    hr = device->Activate(IID_IAudioClient, CLSCTX_ALL, nullptr,
                          reinterpret_cast<void**>(&s->client));
    if (FAILED(hr)) *error = HresultText("opening the sound device", hr);
  }
  if (SUCCEEDED(hr)) {
    hr = s->client->GetMixFormat(&mix);
    if (FAILED(hr)) *error = HresultText("asking for the mix format", hr);
  }
  if (SUCCEEDED(hr)) {
    s->layout = LayoutOf(mix);
    s->sampleRate = int(mix->nSamplesPerSec);
    if (!PcmLayoutSupported(s->layout)) {
      hr = E_FAIL;
      *error = "the device's mix format is not one lightbeat can read";
    }
  }
  if (SUCCEEDED(hr)) {
    const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | (loopback ? AUDCLNT_STREAMFLAGS_LOOPBACK : 0);
    hr = s->client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, kBufferDuration, 0, mix, nullptr);
    if (FAILED(hr)) *error = HresultText(loopback ? "starting loopback capture" : "starting capture", hr);
  }
  if (SUCCEEDED(hr)) {
    s->ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    hr = s->ready ? s->client->SetEventHandle(s->ready) : E_FAIL;
    if (FAILED(hr)) *error = HresultText("setting the capture event", hr);
  }
  if (SUCCEEDED(hr)) {
    hr = s->client->GetService(IID_IAudioCaptureClient, reinterpret_cast<void**>(&s->capture));
    if (FAILED(hr)) *error = HresultText("opening the capture service", hr);
  }
  if (SUCCEEDED(hr)) {
    hr = s->client->Start();
    if (FAILED(hr)) *error = HresultText("starting the capture", hr);
  }
  if (mix) CoTaskMemFree(mix);
  Release(device);
  Release(enumerator);
  if (FAILED(hr)) {
    delete s;
    return nullptr;
  }
  format->sampleRate = s->sampleRate;
  format->channels = OutputChannels(s->layout);
  return s;
}

bool ListCaptureSources(std::vector<CaptureSource>* sources, std::string* error) {
  ComScope com;
  IMMDeviceEnumerator* enumerator = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_ALL,
                                IID_IMMDeviceEnumerator, reinterpret_cast<void**>(&enumerator));
  if (FAILED(hr)) {
    *error = HresultText("opening the sound devices", hr);
    if (com.owned) CoUninitialize();
    return false;
  }
  std::string defaultName;
  IMMDevice* fallback = nullptr;
  if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &fallback))) {
    defaultName = FriendlyName(fallback);
    fallback->Release();
  }
  for (EDataFlow flow : {eRender, eCapture}) {
    IMMDeviceCollection* devices = nullptr;
    if (FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &devices))) continue;
    UINT count = 0;
    devices->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
      IMMDevice* device = nullptr;
      if (FAILED(devices->Item(i, &device))) continue;
      CaptureSource source;
      source.name = FriendlyName(device);
      source.description = flow == eRender ? "output: what it plays (loopback)" : "input";
      source.isDefault = flow == eRender && source.name == defaultName;
      sources->push_back(source);
      device->Release();
    }
    devices->Release();
  }
  enumerator->Release();
  if (com.owned) CoUninitialize();
  return true;
}
