// Script-style calls: how the host binds arguments through a parameter string.
#include <gtest/gtest.h>

#include <string>

#include "test_clips.h"

namespace {

// Records what the last call received.
struct Received {
  std::string kinds;  // type tag of each argument, in order
  int x = 0;
  std::string text;
};
Received received;

AVSValue HOST_CDECL Record(AVSValue args, void*, IScriptEnvironment*) {
  received = {};
  for (int i = 0; i < args.ArraySize(); ++i) received.kinds += char(args[i].Type());
  received.x = args[1].AsInt(-1);
  received.text = args[3].AsString("(none)");
  return args[0];
}

class ArgumentBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    env.AddFunction("Probe", "c[x]i[y]i[blur]s", Record, nullptr);
    clip = korvel_test::ClipOf(korvel_test::RgbInfo(16, 16, CS_BGR24), {});
  }
  std::string ErrorOf(const std::vector<AVSValue>& positional,
                      const std::vector<NamedArgument>& named) {
    try {
      env.Call("Probe", positional, named);
    } catch (const AvisynthError& error) {
      return error.msg;
    }
    return "(no error)";
  }
  ScriptEnvironment env;
  PClip clip;
};

TEST_F(ArgumentBinding, OmittedOptionalArgumentsArriveNotGiven) {
  env.Call("Probe", {clip});
  EXPECT_EQ(received.kinds, "cvvv");
  env.Call("Probe", {clip}, {{"blur", "rect"}, {"X", 3}});
  EXPECT_EQ(received.kinds, "civs");
  EXPECT_EQ(received.x, 3);
  EXPECT_EQ(received.text, "rect");
  env.Call("probe", {clip, 7});  // names are not case-sensitive
  EXPECT_EQ(received.kinds, "civv");
  EXPECT_EQ(received.x, 7);
}

// The interface's own call: one array of arguments, named by a parallel list.
TEST_F(ArgumentBinding, InvokeNamesArgumentsByAParallelList) {
  const AVSValue arguments[] = {clip, "rect", 4};
  const char* const names[] = {nullptr, "blur", "y"};
  env.Invoke("Probe", AVSValue(arguments, 3), names);
  EXPECT_EQ(received.kinds, "cvis");
  EXPECT_EQ(received.text, "rect");
  env.Invoke("Probe", AVSValue(arguments, 1), nullptr);
  EXPECT_EQ(received.kinds, "cvvv");
  EXPECT_EQ(clip->GetRefcount(), 2);  // ours and the array's: the call's copies are gone
}

TEST_F(ArgumentBinding, StringsOutliveTheCallersCopy) {
  {
    std::string temporary = "focus";
    env.Call("Probe", {clip}, {{"blur", temporary.c_str()}});
    temporary.assign(5, 'z');
  }
  EXPECT_EQ(received.text, "focus");
}

TEST_F(ArgumentBinding, BadCallsAreClearErrors) {
  EXPECT_EQ(ErrorOf({}, {}), "Probe: argument 1 (a clip) is missing");
  EXPECT_EQ(ErrorOf({5}, {}), "Probe: argument 1 must be a clip");
  EXPECT_EQ(ErrorOf({clip}, {{"x", "five"}}), "Probe: argument x must be an integer");
  EXPECT_EQ(ErrorOf({clip}, {{"z", 1}}), "Probe: no argument named 'z'");
  EXPECT_EQ(ErrorOf({clip, 1}, {{"x", 1}}), "Probe: argument 'x' given twice");
  EXPECT_EQ(ErrorOf({clip, 1, 2, "line", 4}, {}), "Probe: too many arguments");
  try {
    env.Call("Nothing", {clip});
    FAIL();
  } catch (const AvisynthError& error) {
    EXPECT_STREQ(error.msg, "there is no function named Nothing");
  }
}

TEST_F(ArgumentBinding, ThrowErrorFormatsOneInteger) {
  try {
    env.ThrowError("Korvel:x must be  between plus minus %d", 80);
  } catch (const AvisynthError& error) {
    EXPECT_STREQ(error.msg, "Korvel:x must be  between plus minus 80");
  }
}

TEST(ParameterList, ParsesNamedAndPositionalParameters) {
  std::vector<Parameter> parameters;
  ASSERT_TRUE(ParseParameters("c[x]i[y]i[blur]s", &parameters));
  ASSERT_EQ(parameters.size(), 4u);
  EXPECT_EQ(parameters[0].type, 'c');
  EXPECT_FALSE(parameters[0].optional);
  EXPECT_EQ(parameters[3].name, "blur");
  EXPECT_TRUE(parameters[3].optional);
  EXPECT_FALSE(ParseParameters("c[x", &parameters));
  EXPECT_FALSE(ParseParameters("c[x]", &parameters));
  EXPECT_FALSE(ParseParameters("q", &parameters));
}

}  // namespace
