// The dialog, message, key and report family, kept in three sources: DialogCommands.cc
// (dialogs and the message box), MessageCommands.cc (message lines, keys, bell, waits and
// warnings) and ReportCommands.cc (reports, help, document type and tasks).
// RegisterDialogCommands registers all three.
#ifndef NYCL_SRC_COMMAND_DIALOGFAMILY_H
#define NYCL_SRC_COMMAND_DIALOGFAMILY_H

namespace nycl {

void RegisterMessageCommands();  // from RegisterDialogCommands
void RegisterReportCommands();   // from RegisterDialogCommands

// Message-box style bits handed to NyDataState::NyMessageBox: the uType word of the Windows
// message box, which hosts on every platform decode.
constexpr int kMbOk = 0x0;
constexpr int kMbOkCancel = 0x1;
constexpr int kMbYesNoCancel = 0x3;
constexpr int kMbYesNo = 0x4;
constexpr int kMbRetryCancel = 0x5;
constexpr int kMbIconError = 0x10;
constexpr int kMbIconQuestion = 0x20;
constexpr int kMbIconWarning = 0x30;
constexpr int kMbIconInformation = 0x40;
constexpr int kMbDefaultButton2 = 0x100;
constexpr int kMbSetForeground = 0x10000;
constexpr int kMbTopmost = 0x40000;

// The style word of a message box with the server's button code (0 to 4; larger codes read as
// 0) and icon code (0 lets the button code choose the icon; otherwise OK only with 1
// information, 2 error, 3 question, anything else warning).
int MessageBoxStyle(int buttons, int icon);

// Size of the buffer the message box text is collected in, terminator included.
constexpr int kMessageBoxTextSize = 5000;

}  // namespace nycl

#endif  // NYCL_SRC_COMMAND_DIALOGFAMILY_H
