#pragma once
// The recording DC: a DC that keeps every drawing call made on it (a GdiCall:
// its name, arguments and the DC's state at the call) and answers metrics
// with the same font engine as every other DC, so that DrawText's fitting,
// breaking and ellipses come out as on the raster DC. Its device caps are the
// caller's (a printer's resolution, for instance); it can tee its drawing
// into another DC (a memory DC over a bitmap of the same size), which then
// shows the pixels of the same calls. Qt-free; usable on any thread.
//
//   CRecordingDC dc(caps);                      // caps.dpiY = 600 ...
//   drawer.DrawPage(&dc);
//   for (const GdiCall& c : dc.Calls("DrawText")) ...  // which text, which rectangle

#include "platform/afx/AfxDC.h"
#include "platform/core/Device.h"

#include <vector>

class CRecordingDC : public CDC {
public:
  using Caps = platform::core::DeviceCaps;
  using Call = platform::core::GdiCall;

  explicit CRecordingDC(const Caps& caps = Caps{}, CDC* tee = nullptr);
  ~CRecordingDC() override;

  std::vector<Call> Calls() const;
  // The calls of one name ("DrawText", "FillRect", ...), in order.
  std::vector<Call> Calls(const std::string& name) const;
  void Clear();

private:
  std::shared_ptr<class RecordingDevice> m_device;
};
