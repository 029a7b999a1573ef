#include "engine/dialog_def.h"

#include <gtest/gtest.h>

namespace r7k {
namespace {

const char kText[] = R"dlg(# the main dialog, shortened
dialog R7kProg "Vardex R7000 Programmer"
  size 320 200
  font "MS Sans Serif" 8
  default Info
  menu IDR_MENU
  icon R7K_ICON
  button 1020 "&Upload" at 10 150 50 14
    tag ReadModule
    callback "=CB_ReadModule"
    action Stay
    items "CurrentVirtualModule (.)"
    tooltip "Transfer the Memory Module to a Virtual Module"
    state "cond((strlen(moduleversion) <= 0),_a_greyed,_a_full)"
  button 1030 "Info" at 70 150 40 14
    do "call DP_Info"
  button 1040 "" style hidden
    tag hReadModule
    hidden
    attr 27 "odd one"
  label -1 "Messages will be shown here" at 10 180 300 10 style left
  label -1 "second label"
end

stack Help "Help"
  columns Tag Short Action Callback
  row Nederlands "" Return CB_HelpNl
  row Close "" Return
end

menu IDR_MENU
  popup "&File"
    item "E&xit" 2 "Alt F4"
  popup "&Help"
    item "&Contents" 1006
end
)dlg";

TEST(DialogText, ReadsDialogsStacksAndMenus) {
  DialogLibrary lib;
  ASSERT_EQ(ParseDialogText(kText, "main.dlg", lib), std::nullopt);
  const DialogDef* d = lib.FindDialog("r7kprog");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, "Vardex R7000 Programmer");
  EXPECT_EQ(d->w, 320);
  EXPECT_EQ(d->default_id, 1030);  // by the button's text
  EXPECT_EQ(d->menu, "IDR_MENU");
  ASSERT_EQ(d->controls.size(), 5u);
  const ControlDef& up = d->controls[0];
  EXPECT_EQ(up.kind, kKindButton);
  EXPECT_EQ(up.text, "&Upload");
  EXPECT_EQ(up.y, 150);
  EXPECT_EQ(up.AttrOr(kAttrCallback), "=CB_ReadModule");
  EXPECT_EQ(up.AttrOr(kAttrItems), "CurrentVirtualModule (.)");
  EXPECT_EQ(up.AttrOr(kAttrState), "cond((strlen(moduleversion) <= 0),_a_greyed,_a_full)");
  EXPECT_EQ(d->controls[2].AttrOr(kAttrHidden), "1");
  EXPECT_EQ(d->controls[2].AttrOr(27), "odd one");
  EXPECT_EQ(d->controls[2].style, std::vector<std::string>{"hidden"});
  EXPECT_FALSE(d->controls[3].IsField());
  EXPECT_TRUE(d->controls[1].IsField());

  const StackDef* help = lib.FindStack("Help");
  ASSERT_NE(help, nullptr);
  EXPECT_FALSE(help->IsPages());
  EXPECT_EQ(help->Cell(0, "callback"), "CB_HelpNl");
  EXPECT_EQ(help->Cell(1, "Callback"), "");
  const MenuDef* menu = lib.FindMenu("idr_menu");
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->popups.size(), 2u);
  EXPECT_EQ(menu->popups[0].items[0].id, 2);
  EXPECT_EQ(menu->popups[0].items[0].accelerator, "Alt F4");
}

TEST(DialogText, QuotedTextsKeepBlanksAndEscapes) {
  DialogLibrary lib;
  ASSERT_EQ(ParseDialogText("dialog A \"x\"\n"
                            "  button 2 \"Close\"\n"
                            "    do \"Message? Thank you for using it.  Bye \\\"now\\\"\\n\"\n"
                            "end\n",
                            "a", lib),
            std::nullopt);
  EXPECT_EQ(lib.FindDialog("A")->controls[0].AttrOr(kAttrDo),
            "Message? Thank you for using it.  Bye \"now\"\n");
}

TEST(DialogText, StepsAndActionsAreReadInEveryFormTheScriptsUse) {
  DialogLibrary lib;
  ASSERT_EQ(ParseDialogText("dialog A \"x\"\n"
                            "  button 1 \"OK\"\n"
                            "    action \" return \"\n"
                            "    do \"call DP_Info\"\n"
                            "    do \"Call =DP_ShowFull\"\n"
                            "    do \"call=DP_Save now\"\n"
                            "    do \"STACK Text _0001\"\n"
                            "    do \"Message?  Bye\"\n"
                            "end\n",
                            "a", lib),
            std::nullopt);
  const ControlDef& c = lib.FindDialog("A")->controls[0];
  EXPECT_EQ(c.action, FieldAction::kReturn);
  using Verb = ScriptStep::Verb;
  EXPECT_EQ(c.steps, (std::vector<ScriptStep>{{Verb::kCall, "DP_Info"},
                                              {Verb::kCall, "DP_ShowFull"},
                                              {Verb::kCall, "DP_Save"},
                                              {Verb::kStack, "Text _0001"},
                                              {Verb::kMessage, "Bye"}}));
}

TEST(DialogText, ErrorsNameTheLineAndAddNothing) {
  DialogLibrary lib;
  ASSERT_EQ(ParseDialogText("dialog Old \"x\"\nend\n", "old", lib), std::nullopt);
  const std::pair<const char*, const char*> cases[] = {
      {"dialog A \"x\"\n  button 1 \"OK\"\n    tagg X\nend\n", "t:3: unknown attribute 'tagg'"},
      {"dialog A \"x\"\n  tag X\nend\n",
       "t:2: unknown statement 'tag' (a control must come before attributes)"},
      {"dialog A \"x\"\n  button 1 \"OK\n", "t:2: text without its closing '\"'"},
      {"dialog A \"x\"\n  button x \"OK\"\nend\n",
       "t:2: a control needs a numeric id after 'button'"},
      {"dialog A \"x\"\n  button 1 \"OK\" at 1 2 3\nend\n", "t:2: 'at' takes X Y W H"},
      {"dialog A \"x\"\n  button 1 \"OK\"\n  button 1 \"Again\"\nend\n",
       "t:3: control id 1 used twice (first on line 2)"},
      {"dialog A \"x\"\n  default Nope\nend\n",
       "t:3: default field 'Nope' is not a control of 'A'"},
      {"dialog A \"x\"\n", "t:2: 'end' missing for 'A'"},
      {"dialog old \"y\"\nend\n", "t:1: dialog 'old' defined twice"},
      {"end\n", "t:1: 'end' without a definition"},
      {"window A\n", "t:1: expected dialog, stack or menu, not 'window'"},
      {"stack S\n  row a\nend\n", "t:2: columns must come before the rows"},
      {"menu M\n  item \"x\" 1\nend\n", "t:2: an item must be inside a popup"},
      {"dialog A \"x\"\n  button 1 \"OK\"\n    valid strlen(_tag) < 8\nend\n",
       "t:3: 'valid' takes one value (quote texts with blanks)"},
      // The script attributes the engine acts on are checked when the file is read.
      {"dialog A \"x\"\n  text 1 \"\"\n    valid \"strlen(_tag < 8\"\nend\n",
       "t:3: broken valid condition \"strlen(_tag < 8\": ')' missing after the arguments of "
       "strlen at 16"},
      {"dialog A \"x\"\n  button 1 \"OK\"\n    attr 25 \"cond(x,_a_full)\"\nend\n",
       "t:3: broken state condition \"cond(x,_a_full)\": unknown function cond with 2 arguments "
       "at 16"},
      {"dialog A \"x\"\n  text 1 \"\"\n    valid \"1\"\n    valid \"2\"\nend\n",
       "t:4: valid condition given twice"},
      {"dialog A \"x\"\n  button 1 \"OK\"\n    do \"Stak Help\"\nend\n",
       "t:3: unknown action 'Stak Help' (Stack, call or Message?)"},
      {"dialog A \"x\"\n  button 1 \"OK\"\n    do \"call =\"\nend\n",
       "t:3: 'call' takes the name of a procedure"},
      {"dialog A \"x\"\n  button 1 \"OK\"\n    do Stack\nend\n",
       "t:3: 'Stack' takes the name of a dialog or stack"},
      {"dialog A \"x\"\n  button 1 \"OK\"\n    action Retrun\nend\n",
       "t:3: action is Stay or Return, not 'Retrun'"},
      {"stack S\n  columns Tag Action\n  row Close Close\nend\n",
       "t:3: action is Stay or Return, not 'Close'"},
  };
  for (auto [text, error] : cases) EXPECT_EQ(ParseDialogText(text, "t", lib), error) << text;
  EXPECT_EQ(lib.dialogs.size(), 1u);
  EXPECT_TRUE(lib.stacks.empty());
}

TEST(DialogText, AccessibleNamesComeFromTheLabelOnTheRowOrTheControlItself) {
  DialogLibrary lib;
  ASSERT_EQ(ParseDialogText(R"dlg(
dialog D "D"
  label 5000 "&Port" at 8 76 60 10
  text 1002 "" at 70 74 60 12
  label 5001 "Ports" at 8 8 100 10
  list 1001 "" at 8 18 244 50
    labelled_by 5001
  label -1 "Feeder" at 10 50 30 12
  text 1040 "" at 45 50 20 12
  text 1041 "" at 70 50 45 12
  button 1005 "..." at 234 106 18 12
    tooltip "Browse"
  button 1006 "&Upload" at 8 130 40 14
  custom 1007 "" at 8 150 40 40
    name "Pattern picture"
  text 1008 "" at 8 200 40 12
end
)dlg",
                            "t.dlg", lib),
            std::nullopt);
  const DialogDef& d = *lib.FindDialog("D");
  const auto name = [&d](int id) { return AccessibleName(d.controls, *d.FindControl(id)); };
  EXPECT_EQ(name(1002), "Port") << "the label left of it, mnemonic taken out";
  EXPECT_EQ(name(1001), "Ports") << "the label its attribute 9 names";
  EXPECT_EQ(name(1040), "Feeder");
  EXPECT_EQ(name(1041), "") << "a field stands between it and the label";
  EXPECT_EQ(name(1005), "Browse") << "no letters in its text: the tooltip";
  EXPECT_EQ(name(1006), "Upload");
  EXPECT_EQ(name(1007), "Pattern picture");
  EXPECT_EQ(name(1008), "");
  EXPECT_EQ(FindLabel(d.controls, *d.FindControl(1002)), d.FindControl(5000));
}

}  // namespace
}  // namespace r7k
