#pragma once
// The application object with the browser as its main frame: the program's
// own (app/Lumitra4.cpp), and the one its start-up benchmark starts.

#include "output/COutputDialogs.h"
#include "review/frame/CReviewWindows.h"
#include "shell/app/CLumitraApp.h"
#include "shell/app/CSplashWnd.h"
#include "shell/frame/CMainFrame.h"
#include "toolkit/FileOperations.h"

class CLumitraBrowserApp : public CLumitraApp {
protected:
    CFrameWnd* CreateMainFrame() override
    {
        auto* frame = new CMainFrame;
        frame->SetOutputDialogs(&m_OutputDialogs);
        frame->SetReviewWindows(&m_ReviewWindows);
        // A frame whose window could not be made has already deleted itself
        // when its creation got that far; the program ends either way.
        if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE))
            return nullptr;
        BOOL splash = FALSE;
        if (m_Settings.Lock()) {
            splash = m_Settings.m_nSplash != 0 ? TRUE : FALSE;
            m_Settings.Unlock();
        }
        if (splash)
            CSplashWnd::ShowSplashScreen(frame);
        return frame;
    }
    // A folder is shown; a file is shown in its folder and opened.
    void ShowStartPath(const FString& path) override
    {
        auto* frame = static_cast<CMainFrame*>(m_pMainWnd);
        const int attributes = ReadFileAttributeWord(path);
        constexpr int kFolderAttribute = 0x10;
        if (attributes != -1 && (attributes & kFolderAttribute) != 0) {
            frame->SelectFolder(path, TRUE);
            return;
        }
        frame->SelectFolder(GetParentPath(path), TRUE);
        frame->OpenImage(path, TRUE);
    }

private:
    // Both outlive the frame, which the application ends first.
    COutputDialogs m_OutputDialogs;
    CReviewWindows m_ReviewWindows;
};
