#include "shell/facade/KVRPropsReader.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPropTree.h"
#include "managers/FIPManager.h"
#include "shell/facade/KVR_Text.h"

KVRPropsReader::KVRPropsReader(const FString& nativePath, ListKind kind) : m_pManager(CreateIPManager2())
{
    m_Request.Reset();
    NativePathToURL(nativePath, m_sURL);
    m_Request.SetURL(m_sURL);
    const bool colorModes = kind == kColorModes;
    m_Request.m_eKind = colorModes ? kIPRequestColorModes : kIPRequestIlluminants;
    DeletePropTree(m_Request.m_pImageProps);
    m_Request.m_pImageProps = new FPropTree(nullptr, colorModes ? "ColorModeProps" : "IllumProps");
    if (!m_pManager) {
        m_Request.Reset();
        return;
    }
    // The private manager serves nobody else: no pause between its slices.
    m_pManager->Request(&m_Request);
    while (m_Request.m_Result.IsPending())
        m_pManager->Idle();
    if (m_Request.m_Result.IsFailed())
        m_Request.Reset();
}

KVRPropsReader::~KVRPropsReader()
{
    ReleaseIPManager(m_pManager);
}

const FPropPair* KVRPropsReader::GetFirst() const
{
    return m_Request.m_pImageProps ? m_Request.m_pImageProps->GetFirstPair() : nullptr;
}

const FPropPair* KVRPropsReader::GetNext(const FPropPair* pair, std::string& key) const
{
    if (!pair)
        return nullptr;
    key = KVR_NarrowText(pair->m_sKey);
    return pair->GetNext();
}
