// File, blob, script, XML, RPC, property, combo-box and array commands driven through
// protocol lines.
#include <gtest/gtest.h>

#include <string>

#include "command/LineTest.h"

namespace nycl::test {
namespace {

using Calls = CallLog;

// Records the value list of SetInclude as far as its null entry, whatever the count says.
class IncludeWindow : public RecordingRenderWindow {
 public:
  IncludeWindow(NyDataState* state, CallLog* log)
      : RecordingRenderWindow("w1", state, log, nullptr) {}
  int SetInclude(char* field, int count, char** values) override {
    std::string list;
    for (char** value = values; *value != nullptr; ++value) list += std::string("|") + *value;
    includes.push_back(std::string(field ? field : "(null)") + "," + std::to_string(count) + "," +
                       list);
    return 1;
  }
  std::vector<std::string> includes;
};

using TransferCommandsTest = LineTest;

TEST_F(TransferCommandsTest, FileSendChoosesItsFormByArgumentCount) {
  EXPECT_EQ(Run("fgl_FileSend \"a b.frm\" 12"), Calls{"FileSend(a b.frm,12)"});
  EXPECT_EQ(Run("fgl_FileSend name"), Calls{"FileSend(name,(null))"});
  EXPECT_EQ(Run("fgl_FileSend"), Calls{"FileSend((null),(null))"});
  EXPECT_EQ(Run("fgl_FileSend name 3 c:/tmp/x"), Calls{"FileSend(name,3,c:/tmp/x,0)"});
  EXPECT_EQ(Run("fgl_FileSend name 3 c:/tmp/x 1"), Calls{"FileSend(name,3,c:/tmp/x,1)"});
  EXPECT_EQ(Run("fgl_FileSend name 3 c:/tmp/x yes extra"), Calls{"FileSend(name,3,c:/tmp/x,0)"});
}

TEST_F(TransferCommandsTest, TransferNamesLoseTheirQuotesAndMayBeAbsent) {
  // A quote inside a token stays in the argument; the transfer commands remove it, and a
  // backslash standing before a quote with it.
  EXPECT_EQ(Run("fgl_FileSend ab\"c d\" 1"), Calls{"FileSend(abc d,1)"});
  EXPECT_EQ(Run("fgl_FileData 'a\\\\b\\\\\"c\"' data"), Calls{"FileData(a\\bc,data)"});
  EXPECT_EQ(Run("fgl_FileSent '\"q\"'"), Calls{"FileSent(q)"});
  EXPECT_EQ(Run("fgl_ScriptFileSend 'a\\\\b\"'"), Calls{"ScriptFileSend(a\\b)"});
  EXPECT_EQ(Run("fgl_ScriptFileSent 'back\\\\slash'"), Calls{"ScriptFileSent(back\\slash)"});
  // The client path of a request is passed as sent.
  EXPECT_EQ(Run("fgl_FileRequest 'c:/\"my\" file'"), Calls{"FileRequest(c:/\"my\" file)"});

  EXPECT_EQ(Run("fgl_file_read_error"), Calls{"FileSent((null))"});
  EXPECT_EQ(Run("fgl_FileSent"), Calls{"FileSent((null))"});
  EXPECT_EQ(Run("fgl_FileData name"), Calls{"FileData(name,(null))"});
  EXPECT_EQ(Run("fgl_ScriptEnd"), Calls{"ScriptEnd()"});
  EXPECT_EQ(Run("fgl_ScriptFileSend"), Calls{"ScriptFileSend((null))"});
}

TEST_F(TransferCommandsTest, BlobsGoToTheCurrentWindowAndTheDataState) {
  EXPECT_EQ(Run("fgl_Blob pic jpg"), Calls{});
  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_Blob pic"), Calls{"W1.StartBlobReceive(pic)"});
  EXPECT_EQ(Run("fgl_Blob pic jpg"), (Calls{"W1.SetBlobType(jpg)", "W1.StartBlobReceive(pic)"}));
  EXPECT_EQ(Run("fgl_BlobData pic QUJD"), Calls{"BlobData(QUJD)"});
  EXPECT_EQ(Run("fgl_BlobData pic"), Calls{"BlobData((null))"});
  EXPECT_EQ(Run("fgl_BlobEnd"), Calls{"BlobEnd()"});
}

TEST_F(TransferCommandsTest, HostHandOffsPassAbsentArgumentsAsNullAndErrorRestarts) {
  EXPECT_EQ(Run("fgl_sendxmldata doc <a/>"), Calls{"SendXMLData(doc,<a/>)"});
  EXPECT_EQ(Run("fgl_receivexmldata doc"),
            (Calls{"ReceiveXMLData(doc)", "SendResponceString(\n)"}));
  EXPECT_EQ(Run("fgl_rpc_connect a b c"), Calls{"RPC_connect(a,b,c)"});
  EXPECT_EQ(Run("fgl_rpc_close a"), Calls{"RPC_close(a,(null),(null))"});
  EXPECT_EQ(Run("fgl_rpc_getvalue a b c"), Calls{"RPC_getvalue(a,b,c,(null))"});
  EXPECT_EQ(Run("fgl_rpc_setvalue a b c d e"), Calls{"RPC_setvalue(a,b,c,d,e)"});
  EXPECT_EQ(Run("fgl_rpc_finishall a"), Calls{"RPC_finishall(a)"});
  EXPECT_EQ(Run("fgl_rpc_execute a b c d"), Calls{"RPC_execute(a,b,c,d)"});
  EXPECT_EQ(Run("fgl_GetProperty colour"), Calls{"GetProperty(colour)"});
  EXPECT_EQ(Run("fgl_KeyMapping F1 help"), Calls{"KeyMapping(F1,help)"});
  EXPECT_EQ(Run("fgl_KeyMapping"), Calls{"KeyMapping((null),(null))"});

  EXPECT_EQ(Run("Error:"),
            (Calls{"ErrorMessage(Error. Application name invalid.,1)", "RestartApp()"}));
  EXPECT_EQ(Run("Error: \"no such program\""),
            (Calls{"ErrorMessage(no such program,1)", "RestartApp()"}));
  EXPECT_EQ(Run("Error: no such program"), (Calls{"ErrorMessage(no,1)", "RestartApp()"}));
}

TEST_F(TransferCommandsTest, ArraysCombosAndScreenSectionsNeedAWindow) {
  for (const char* line : {"fgl_Array a 1", "fgl_EntryAdd a b", "fgl_ScreenTitle t",
                           "fgl_Combo_Value c 1 v", "fgl_EntryInclude f 1 a"}) {
    EXPECT_EQ(Run(line), Calls{}) << line;
  }

  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_Array arr 10"), Calls{"W1.Array(arr,10)"});
  EXPECT_EQ(Run("fgl_Array"), Calls{"W1.Array((null),0)"});
  EXPECT_EQ(Run("fgl_EntryAdd name"), Calls{"W1.AddArrayData((null),name,string)"});
  EXPECT_EQ(Run("fgl_ScreenTitle Orders"), Calls{"W1.NewScreenSection(Orders)"});
  EXPECT_EQ(Run("fgl_Combo_Group c 2"), Calls{"W1.SetComboGroup(c,2)"});
  EXPECT_EQ(Run("fgl_Combo_Value c 3 v"), Calls{"W1.SetComboValue(c,3,v)"});
  EXPECT_EQ(Run("fgl_Combo_Depth c 4"), Calls{"W1.SetComboDepth(c,4)"});
  // Combo indices travel as unsigned values.
  EXPECT_EQ(Run("fgl_Combo_Group c -1"), Calls{"W1.SetComboGroup(c,4294967295)"});
  EXPECT_EQ(Run("fgl_Combo_Depth c"), Calls{"W1.SetComboDepth(c,0)"});
}

TEST_F(TransferCommandsTest, EntryIncludePassesTheValuesUpToTheVectorsEnd) {
  CallLog log;
  IncludeWindow window(&host_.state(), &log);
  host_.state().AddRenderWindow(&window);
  for (const char* line : {"fgl_EntryInclude fld 2 a b", "fgl_EntryInclude fld 5 a",
                           "fgl_EntryInclude fld 1", "fgl_EntryInclude fld", "fgl_EntryInclude"}) {
    Run(line);
  }
  EXPECT_EQ(window.includes,
            (std::vector<std::string>{"fld,2,|a|b", "fld,5,|a", "fld,1,", "fld,0,", "(null),0,"}));
  host_.state().RemoveRenderWindow(&window);
}

}  // namespace
}  // namespace nycl::test
