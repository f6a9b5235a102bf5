#include "app/setup_dialog.h"

#include <algorithm>

#include <cstdint>
#include <string>

#include "app/install_sequence.h"
#include "paths/free_space.h"
#include "paths/known_folders.h"
#include "paths/path_checks.h"
#include "userdata/install_record.h"

namespace swk::app {

SetupDialog::SetupDialog(DialogHost& host) : host_(host) {}

void SetupDialog::OnInitDialog() {
    // The host has bound the template's controls to their ids.
    host_.SetWindowIcons(kApplicationIconId);

    ResolveKnownFolders(std::string(kProductName));
    ReadPreviousInstallPath();
    auto& folders = KnownFolders();
    folders.ProgramFolder = folders.DefaultProgramRoot;

    // The setup path is the folder above the product folder.
    std::string above = StripTrailingBackslash(folders.ProgramFolder);
    SplitLastComponent(above, '\\');  // the product folder's own name is dropped
    SetupPath() = above + "\\";

    const Rect placeholder = host_.ClientRectOf(kBrowsePlaceholder);
    host_.CreateNoFocusButton(kBrowseButton, placeholder, kBrowseButtonStyle, kBrowseIconId);

    // Nothing enables these again: the setup path is always the default one.
    host_.SetEnabled(kPathField, false);
    host_.SetEnabled(kBrowseButton, false);

    if (!folders.PreviousInstallPath.empty() &&
        ShowMessage(kPreviousInstallationQuestion, MessageButtons::YesNo) != MessageAnswer::Yes)
        host_.EndDialog(kCancelResult);  // takes effect once the initialisation is over

    host_.SetText(kPathField, SetupPath());
    UpdateInfoText();
}

void SetupDialog::UpdateInfoText() {
    const std::string path = host_.GetText(kPathField);
    const std::string freeSpaceText = FreeSpaceText(path);
    const std::uint32_t freeMegabytes = FreeSpaceMegabytes(path);

    std::string info = freeSpaceText + "\r\n";
    info += freeMegabytes < kAdviceBelowMegabytes ? kLargeDiskAdvice : kNoAdvice;
    if (freeMegabytes > 0) {
        info += "\r\n";
        info += kInstallSentence;
        info += kUseAndUninstall;
    }
    host_.SetText(kInfoText, info);
    host_.SetEnabled(kOkButton, freeMegabytes > 0);
}

void SetupDialog::OnCommand(int id) {
    switch (id) {
        case kOkButton:
            OnOk();
            break;
        case kCancelButton:
            OnCancel();
            break;
        case kRestartButton:
            RestartWindows();
            break;
        default:
            break;  // the browse button is never enabled
    }
}

void SetupDialog::OnOk() {
    if (busy) return;
    if (page == 1) {
        ShowCompletionPage(true);
        page = 2;
    } else if (page == 2) {
        ShellOpen(KnownFolders().ProgramFolder + "swk.exe");  // not examined: the setup ends
        host_.EndDialog(kCancelResult);
    } else {
        RunInstallAttempt(*this);
    }
}

void SetupDialog::OnCancel() {
    if (page == 1) {
        ShowCompletionPage(false);
        page = 2;
    } else {
        host_.EndDialog(kCancelResult);
    }
}

void SetupDialog::ShowInstallResultPage(std::string_view text) {
    host_.SetText(kInfoText, text);
    host_.SetVisible(kBrowseButton, false);
    host_.SetText(kOkButton, kNextText);
    host_.SetVisible(kCancelButton, false);
    host_.SetEnabled(kOkButton, true);
    host_.SetEnabled(kCancelButton, true);
    host_.SetText(kCancelButton, kCloseText);

    host_.Move(kInfoText, ResultPageInfoRect(host_.ClientRectOf(kInfoText)), true);

    host_.SetVisible(kPathField, false);
    host_.SetVisible(kPathLabel, false);
    page += 1;
    busy = 0;
    host_.SetVisible(kLatestVersionNote, true);
}

Rect ResultPageInfoRect(Rect firstPage) {
    Rect info = firstPage;
    info.top = std::max(0, firstPage.top - kResultPageGrowthPixels);
    return info;
}

IconPosition MinimisedIconPosition(int clientWidth, int clientHeight, int iconWidth,
                                   int iconHeight) {
    return IconPosition{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

}  // namespace swk::app
