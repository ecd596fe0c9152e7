// Report output, help text, the document type and task notifications: each forwards to one
// operation of the data state. None answers the server; every Execute returns false.
//
// Guards: every command stops silently when it has no data state or when the data state's
// destruction has begun.
#include "command/CommandFamilies.h"
#include "command/DialogFamily.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdReportCreate);
NYCL_COMMAND_CLASS(CmdReportLine);
NYCL_COMMAND_CLASS(CmdReportWait);
NYCL_COMMAND_CLASS(CmdReportEndPage);
NYCL_COMMAND_CLASS(CmdReportEnd);
NYCL_COMMAND_CLASS(CmdHelpCreate);
NYCL_COMMAND_CLASS(CmdHelpLine);
NYCL_COMMAND_CLASS(CmdHelpEnd);
NYCL_COMMAND_CLASS(CmdDocType);
NYCL_COMMAND_CLASS(CmdTaskOpen);
NYCL_COMMAND_CLASS(CmdTaskClose);

bool CmdReportCreate::Execute() {
  if (IsLive(dataState)) dataState->ReportCreate();
  delete this;
  return false;
}

bool CmdReportLine::Execute() {
  if (IsLive(dataState)) dataState->ReportLine(GetArg(1));
  delete this;
  return false;
}

// "fgl_ReportPause".
bool CmdReportWait::Execute() {
  if (IsLive(dataState)) dataState->ReportPause();
  delete this;
  return false;
}

bool CmdReportEndPage::Execute() {
  if (IsLive(dataState)) dataState->ReportEndPage();
  delete this;
  return false;
}

bool CmdReportEnd::Execute() {
  if (IsLive(dataState)) dataState->ReportEnd();
  delete this;
  return false;
}

bool CmdHelpCreate::Execute() {
  if (IsLive(dataState)) dataState->HelpCreate();
  delete this;
  return false;
}

bool CmdHelpLine::Execute() {
  if (IsLive(dataState)) dataState->HelpLine(GetArg(1));
  delete this;
  return false;
}

bool CmdHelpEnd::Execute() {
  if (IsLive(dataState)) dataState->HelpEnd();
  delete this;
  return false;
}

bool CmdDocType::Execute() {
  if (IsLive(dataState)) dataState->SetDocType(GetArg(1), GetArg(2));
  delete this;
  return false;
}

// Only the third argument, the task's name, reaches the host.
bool CmdTaskOpen::Execute() {
  if (IsLive(dataState)) dataState->NewApp(GetArg(3));
  delete this;
  return false;
}

bool CmdTaskClose::Execute() {
  if (IsLive(dataState)) dataState->EndApp();
  delete this;
  return false;
}

void RegisterReportCommands() {
  RegisterCommand<CmdReportCreate>("fgl_ReportCreate");
  RegisterCommand<CmdReportLine>("fgl_ReportLine");
  RegisterCommand<CmdReportWait>("fgl_ReportPause");
  RegisterCommand<CmdReportEndPage>("fgl_ReportEndPage");
  RegisterCommand<CmdReportEnd>("fgl_ReportEnd");
  RegisterCommand<CmdHelpCreate>("fgl_HelpCreate");
  RegisterCommand<CmdHelpLine>("fgl_HelpLine");
  RegisterCommand<CmdHelpEnd>("fgl_HelpEnd");
  RegisterCommand<CmdDocType>("fgl_DocType");
  RegisterCommand<CmdTaskOpen>("fgl_TaskOpen");
  RegisterCommand<CmdTaskClose>("fgl_TaskClose");
}

}  // namespace nycl
