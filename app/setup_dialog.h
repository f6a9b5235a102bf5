// SetupDialog: the setup's only window, a wizard of three pages sharing one
// set of controls (dialog 102). `page` decides what OK and Cancel do:
//   page 0  first page: setup path, free space, introduction; OK installs
//   page 1  install result; OK ("Next") or Escape leads to page 2
//   page 2  completion; "Run Program", "Close", "Restart Windows"
// Page changes show, hide, relabel and move controls rather than replace them.
#pragma once

#include <string>
#include <string_view>

#include "app/dialog_host.h"

namespace swk::app {

// ---- Texts ------------------------------------------------------------------------
inline constexpr std::string_view kProductName = "Stashwick";
inline constexpr std::string_view kPreviousInstallationQuestion =
    "A previous installation of \"Stashwick\" is found.\r\n\r\nOld saved pages will be kept in "
    "<My Documents> folder as\r\nPages.swk file (with current time suffix)\r\n\r\nContinue?";
inline constexpr std::string_view kLargeDiskAdvice =
    "\r\nIf you are going to save thousands of pages, it is recommended to select a path with "
    "more than 1 GB free (available) disk space\r\n";
inline constexpr std::string_view kNoAdvice = "\r\n\r\n\r\n";
inline constexpr std::string_view kInstallSentence =
    "Pressing OK installs the Internet Explorer add-on together with the stand-alone program.";
inline constexpr std::string_view kUseAndUninstall =
    "\r\nYou can use any or both of them. Uninstall can be done from Control Panel.";
inline constexpr std::string_view kNextText = "Next";
inline constexpr std::string_view kCloseText = "Close";
inline constexpr std::string_view kRunProgramText = "Run Program";
inline constexpr std::string_view kRestartAdvice =
    "\r\n\r\nRestarting the system is needed to complete installation of the Internet Explorer "
    "add-on.\r\nIt is not necessary to do it now.\r\n\r\nYou can run the stand alone program "
    "without restarting Windows or simply press \"Close\" button.\r\n\r\nThe Installation will "
    "be completed, next session, when you start the computer.";
inline constexpr std::string_view kErrorReboot = "error reboot";

// ---- Numbers ----------------------------------------------------------------------
inline constexpr unsigned kAdviceBelowMegabytes = 1024;
inline constexpr int kResultPageGrowthPixels = 80;  // device pixels, not dialog units
// The latest-version page on the maker's web server; "&A=" + specialBuild follows
// when the setup carries a special-build code.
inline constexpr std::string_view kLatestVersionAddress =
    "http://updates.tarnwell.example/init.asp?P=5&V=4.5";

// ---- The wizard ----------------------------------------------------------------------
class SetupDialog final : public DialogHandler {
public:
    explicit SetupDialog(DialogHost& host);

    // Binds the controls, resolves the folders, asks about a previous
    // installation, makes the browse button and fills the first page.
    void OnInitDialog() override;
    // 1: the page state machine; 2: Cancel, Escape, close box; 1011: restart.
    void OnCommand(int id) override;

    // Rebuilds InfoText and the OK button's state from the free space of the
    // path field's drive.
    void UpdateInfoText();
    // Page 0 → 1, after a successful install attempt.
    void ShowInstallResultPage(std::string_view text);
    // Page 1 → 2 (the caller sets `page`); opens the latest-version page first
    // when asked to.
    void ShowCompletionPage(bool openLatestVersionPage);
    // "Restart Windows": asks the system to restart, "error reboot" when it refuses.
    void RestartWindows();

    DialogHost& Host() { return host_; }

    int page = 0;
    int busy = 0;
    std::string specialBuild;
    std::string fileVersion;

private:
    void OnOk();
    void OnCancel();

    DialogHost& host_;
};

// The address the completion page opens.
std::string LatestVersionAddress(std::string_view specialBuild);

// Where InfoText goes on the result page: 80 pixels taller, over the path field
// and its label, with left, right and bottom kept. Its top never goes above the
// client area: with the template's font at 96 DPI the field starts 63 pixels
// down, and a top at -17 would hide the first line of the result text.
Rect ResultPageInfoRect(Rect firstPage);

// Where the application icon is drawn in the minimised window: centred, with
// (client − icon + 1) / 2 truncated toward zero in each direction.
struct IconPosition {
    int x = 0, y = 0;
};
IconPosition MinimisedIconPosition(int clientWidth, int clientHeight, int iconWidth,
                                   int iconHeight);

}  // namespace swk::app
