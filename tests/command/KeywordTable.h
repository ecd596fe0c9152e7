// The 124 protocol keywords with the class of the command each creates, in registration
// order. Shared by the registry tests of the shared and the static build.
#ifndef NYCL_TESTS_COMMAND_KEYWORDTABLE_H
#define NYCL_TESTS_COMMAND_KEYWORDTABLE_H

#include <cxxabi.h>

#include <cstdlib>
#include <string>
#include <typeinfo>

namespace nycl::test {

struct KeywordClass {
  const char* keyword;
  const char* className;
};

constexpr KeywordClass kKeywordTable[] = {
    {"fgl_Blob", "CmdBlob"},
    {"fgl_ident", "CmdIdent"},
    {"fgl_WindowOpen", "CmdWindowOpen"},
    {"fgl_Label", "CmdLabel"},
    {"fgl_WindowSelect", "CmdWindowSelect"},
    {"fgl_WindowClear", "CmdWindowClear"},
    {"fgl_DisplayAt", "CmdDisplayAt"},
    {"fgl_MenuCreateV", "CmdMenuCreateV"},
    {"fgl_MenuDestroyV", "CmdMenuDestroyV"},
    {"fgl_MenuFieldCreateV", "CmdMenuFieldCreateV"},
    {"fgl_MenuFocusV", "CmdMenuFocusV"},
    {"fgl_LineH", "CmdLineH"},
    {"fgl_LineV", "CmdLineV"},
    {"fgl_ListCreate", "CmdListCreate"},
    {"fgl_ListDestroy", "CmdListDestroy"},
    {"fgl_ListExport", "CmdListExport"},
    {"fgl_FileDialog", "CmdFileDialog"},
    {"fgl_ColumnCreate", "CmdColumnCreate"},
    {"fgl_ColumnClear", "CmdColumnClear"},
    {"fgl_ProgressCreate", "CmdProgressCreate"},
    {"fgl_ProgressDestroy", "fgl_ProgressDestroy"},
    {"ProgressValue ", "CmdProgressValue"},
    {"fgl_EntryCreate", "CmdEntryCreate"},
    {"fgl_Box", "CmdBox"},
    {"fgl_ClearToEol", "CmdClearToEol"},
    {"fgl_CommentLine", "CmdCommentLine"},
    {"fgl_ErrorLine", "CmdErrorLine"},
    {"fgl_Message", "CmdMessage"},
    {"fgl_EntryState", "CmdEntryState"},
    {"fgl_ColumnState", "CmdColumnState"},
    {"fgl_ColumnConfigure", "CmdColumnConfigure"},
    {"fgl_HeaderConfigure", "Cmdfgl_HeaderConfigure"},
    {"fgl_RowDelete", "CmdRowDelete"},
    {"fgl_RowInsert", "CmdRowInsert"},
    {"fgl_EntryFocus", "CmdEntryFocus"},
    {"fgl_EntryConfigure", "CmdEntryConfigure"},
    {"fgl_EntryAppend", "CmdEntryAppend"},
    {"fgl_EntrySet", "CmdEntrySet"},
    {"fgl_WindowClose", "CmdWindowClose"},
    {"fgl_EntryDestroy", "CmdEntryDestroy"},
    {"fgl_Bell", "CmdBell"},
    {"fgl_Wait", "CmdWait"},
    {"fgl_Flush", "CmdFlush"},
    {"Warning:", "CmdWarning"},
    {"fgl_ReportCreate", "CmdReportCreate"},
    {"fgl_ReportLine", "CmdReportLine"},
    {"fgl_ReportPause", "CmdReportWait"},
    {"fgl_ReportEndPage", "CmdReportEndPage"},
    {"fgl_ReportEnd", "CmdReportEnd"},
    {"fgl_Comment", "CmdCommand"},
    {"fgl_HelpCreate", "CmdHelpCreate"},
    {"fgl_HelpLine", "CmdHelpLine"},
    {"fgl_HelpEnd", "CmdHelpEnd"},
    {"fgl_DocType", "CmdDocType"},
    {"fgl_TaskOpen", "CmdTaskOpen"},
    {"fgl_TaskClose", "CmdTaskClose"},
    {"fgl_filter", "CmdFilter"},
    {"fgl_StopSession", "CmdStopSession"},
    {"fgl_ResumeSession", "CmdResumeSession"},
    {"fgl_StartSession", "CmdStartSession"},
    {"fgl_filterend", "CmdFilterEnd"},
    {"fgl_Display", "CmdDisplay"},
    {"fgl_SetWindowTitle", "CmdSetWindowTitle"},
    {"fgl_SetTitle", "CmdSetTitle"},
    {"fgl_SetWindowSize", "CmdSetWindowSize"},
    {"fgl_SetSize", "CmdSetSize"},
    {"fgl_SetFieldState", "CmdFieldState"},
    {"fgl_WinButton", "CmdWinButton"},
    {"fgl_WinQuestion", "CmdWinQuestion"},
    {"fgl_DetailErrorBox", "CmdDetailErrorBox"},
    {"fgl_WinPrompt", "CmdWinPrompt"},
    {"fgl_WinPromptB", "CmdWinPromptB"},
    {"fgl_KeyEvent", "CmdKeyEvent"},
    {"fgl_KeyDivider", "Cmdfgl_KeyDivider"},
    {"fgl_ClearKeyList", "Cmdfgl_ClearKeyList"},
    {"fgl_InputCase", "CmdInputCase"},
    {"fgl_FormName", "CmdFormName"},
    {"fgl_ScrollBar", "CmdScrollBar"},
    {"fgl_ScrollDelete", "CmdScrollDelete"},
    {"fgl_MessageBoxLine", "CmdMessageBoxLine"},
    {"fgl_MessageBox", "CmdMessageBox"},
    {"fgl_ReturnAnyKey", "CmdReturnAnyKey"},
    {"fgl_Sleep", "CmdSleep"},
    {"fgl_AuthMenu", "CmdAuthMenu"},
    {"fgl_AuthMenuOption", "CmdAuthMenuOption"},
    {"fgl_AuthMenuEnd", "CmdAuthMenuEnd"},
    {"fgl_AuthMenuRun", "CmdAuthMenuRun"},
    {"fgl_GetNysProg", "CmdGetNysProg"},
    {"fgl_SessionExec", "CmdFglSessionExec"},
    {"fgl_Exec", "CmdFglExec"},
    {"fgl_ShellExec", "CmdFglShellExec"},
    {"fgl_EntryInclude", "CmdEntryInclude"},
    {"fgl_BlobData", "CmdBlobData"},
    {"fgl_BlobEnd", "CmdBlobEnd"},
    {"fgl_ScriptFileSend", "CmdScriptFileSend"},
    {"fgl_ScriptFileSent", "CmdScriptFileSent"},
    {"fgl_file_read_error", "CmdFileReadError"},
    {"fgl_sendxmldata", "CmdSendXMLData"},
    {"fgl_receivexmldata", "CmdReceiveXMLData"},
    {"fgl_FileSend", "CmdFileSend"},
    {"fgl_FileRequest", "CmdFileRequest"},
    {"fgl_FileData", "CmdFileData"},
    {"fgl_FileSent", "CmdFileSent"},
    {"fgl_ScriptEnd", "CmdScriptEnd"},
    {"Error:", "CmdError"},
    {"fgl_Array", "CmdArray"},
    {"fgl_EntryAdd", "CmdEntryAdd"},
    {"fgl_rpc_connect", "Cmdrpc_connect"},
    {"fgl_rpc_close", "CmdRPC_close"},
    {"fgl_rpc_getvalue", "CmdRPC_getvalue"},
    {"fgl_rpc_setvalue", "CmdRPC_setvalue"},
    {"fgl_rpc_finishall", "CmdRPC_finishall"},
    {"fgl_rpc_execute", "CmdRPC_execure"},
    {"fgl_ScreenTitle", "Cmdfgl_ScreenTitle"},
    {"fgl_SetProperty", "Cmdfgl_SetProperty"},
    {"fgl_GetProperty", "Cmdfgl_GetPropery"},
    {"fgl_Combo_Group", "Cmdfgl_Combo_Group"},
    {"fgl_Combo_Value", "Cmdfgl_Combo_Value"},
    {"fgl_KeyMapping", "Cmdfgl_KeyMapping"},
    {"fgl_Combo_Depth", "Cmdfgl_Combo_Depth"},
    {"fgl_auth", "CmdAuthReply"},
    {"nyinetif:", "CmdInitial"},
    {"nyinetif_basic:", "CmdInitialBasic"},
    {"nyinetif_full:", "CmdInitialFull"},
};

// The class name of an object, without its namespace.
template <class T>
std::string ClassNameOf(const T& object) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(typeid(object).name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled != nullptr ? demangled : typeid(object).name();
  std::free(demangled);
  std::string::size_type colons = name.rfind("::");
  return colons == std::string::npos ? name : name.substr(colons + 2);
}

// `keyword` as the first, double-quoted token of a protocol line.
inline std::string QuotedLine(const std::string& keyword) {
  return "\"" + keyword + "\" a b";
}

}  // namespace nycl::test

#endif  // NYCL_TESTS_COMMAND_KEYWORDTABLE_H
