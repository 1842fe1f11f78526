#include "platform/core/RecordingDC.h"

#include "platform/core/Gdi.h"

#include <mutex>

using namespace platform::core;

class RecordingDevice : public IDevice {
public:
  RecordingDevice(const DeviceCaps& caps, HDC tee) : m_caps(caps), m_tee(tee) {}

  std::unique_ptr<IDrawTarget> OpenTarget() override { return m_tee ? OpenTargetOf(m_tee) : nullptr; }
  DeviceCaps Caps() const override { return m_caps; }
  void Note(const GdiCall& call) override {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(call);
  }

  std::vector<GdiCall> Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
  }
  void Clear() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
  }

private:
  DeviceCaps m_caps;
  HDC m_tee;
  mutable std::mutex m_mutex;
  std::vector<GdiCall> m_calls;
};

CRecordingDC::CRecordingDC(const Caps& caps, CDC* tee)
    : m_device(std::make_shared<RecordingDevice>(caps, tee ? tee->GetSafeHdc() : nullptr)) {
  Attach(CreateDeviceDC(m_device));
}

CRecordingDC::~CRecordingDC() = default;

std::vector<GdiCall> CRecordingDC::Calls() const { return m_device->Calls(); }

std::vector<GdiCall> CRecordingDC::Calls(const std::string& name) const {
  std::vector<GdiCall> calls;
  for (GdiCall& call : m_device->Calls()) {
    if (call.name == name) calls.push_back(std::move(call));
  }
  return calls;
}

void CRecordingDC::Clear() { m_device->Clear(); }
