#include "review/frame/CReviewWindows.h"

#include "review/frame/CReviewFrame.h"
#include "review/frame/ReviewPalettes.h"
#include "review/frame/ReviewViewServices.h"

CReviewWindows::CReviewWindows() : CReviewWindows(MainFrameReviewHost(), ApplicationReviewServices()) {}

CReviewWindows::CReviewWindows(IReviewFrameHost& host, ReviewViewServices& services)
    : m_Host(host), m_Services(services) {}

IReviewFrame* CReviewWindows::CreateReviewFrame() { return CReviewFrame::Make(m_Host, m_Services); }

BOOL CReviewWindows::HasInfoPalette() const { return ReviewPalettes::HasInfoPalette(); }
CWnd* CReviewWindows::GetInfoPalette() { return ReviewPalettes::InfoPalette(); }
CWnd* CReviewWindows::OpenInfoPalette() { return ReviewPalettes::OpenInfoPalette(); }
void CReviewWindows::CloseInfoPalette() { ReviewPalettes::CloseInfoPalette(); }
CWnd* CReviewWindows::GetAdjustPalette() { return ReviewPalettes::AdjustPalette(); }
void CReviewWindows::CloseAdjustPalette() { ReviewPalettes::CloseAdjustPalette(); }
