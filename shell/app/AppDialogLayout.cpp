#include "shell/app/AppDialogLayout.h"

#include "toolkit/TextTable.h"

#include <cstdio>
#include <string>

std::u16string AppText(int id)
{
    std::u16string text;
    CFont* font = nullptr;
    COLORREF colour = 0;
    if (!GetTextTableString(id, text, font, colour))
        text.clear();
    return text;
}

void SetClientAreaSize(CWnd* window, int cx, int cy)
{
    CRect outer;
    CRect client;
    window->GetWindowRect(&outer);
    window->GetClientRect(&client);
    const int width = outer.Width() - client.Width() + cx;
    const int height = outer.Height() - client.Height() + cy;
    window->SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
}

void MoveDlgControl(CWnd* dialog, int id, const RECT& rect)
{
    if (CWnd* control = dialog->GetDlgItem(id))
        control->MoveWindow(&rect);
}

void RegisterAppDialogTemplate(UINT id, SIZE size, std::vector<DialogItemTemplate> items)
{
    if (platform::FindDialogTemplate(id))
        return;
    DialogTemplate dialog;
    dialog.id = id;
    dialog.size = size;
    dialog.items = std::move(items);
    std::string error;
    if (!platform::RegisterDialogTemplate(dialog, &error))
        std::fprintf(stderr, "dialog template %u refused: %s\n", id, error.c_str());
}
