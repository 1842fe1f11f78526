#include "engine/core/FIPERequest.h"

#include "foundation/FWideText.h"

bool FIPEResumeState::ResumeOrRestart(uint32_t tag, int lastWordUsed)
{
    if (m_aWords[kWordTag] == tag)
        return true;
    m_aWords[kWordTag] = tag;
    for (int i = kWordStep; i <= lastWordUsed && i < kWordCount; ++i)
        m_aWords[i] = 0;
    return false;
}

void FIPERequest::Finish(int32_t status)
{
    m_iErrorCode = kIPErrorNone;
    m_sErrorText.Empty();
    priPublishStatus(status);
}

void FIPERequest::Fail(int32_t errorCode, const char* text)
{
    Fail(errorCode, WideFromSystemText(text));
}

void FIPERequest::Fail(int32_t errorCode, const FString& text)
{
    m_iErrorCode = errorCode;
    m_sErrorText = text;
    priPublishStatus(kIPStatusError);
}

void FIPERequest::priAccept(std::atomic<bool>* handlerRunning)
{
    m_pHandlerRunning = handlerRunning;
    m_iErrorCode = kIPErrorNone;
    m_dProgress.store(0.0, std::memory_order_release);
    m_iStatus.store(kIPStatusPending, std::memory_order_release);
}

void FIPERequest::priPublishStatus(int32_t status)
{
    // The engine learns that the handler is done before the owner can see the
    // final status and delete the record.
    if (std::atomic<bool>* running = m_pHandlerRunning) {
        m_pHandlerRunning = nullptr;
        running->store(false, std::memory_order_release);
    }
    m_iStatus.store(status, std::memory_order_release);
}
