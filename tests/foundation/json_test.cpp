// The JSON writer and reader of the program's own files: what the writer makes of awkward texts,
// what the reader takes, and the garbage it refuses.
#include <gtest/gtest.h>

#include <string>

#include "foundation/json_value.h"
#include "foundation/json_writer.h"

namespace fw {
namespace {

TEST(JsonWriter, WritesAnIndentedDocumentWithEscapes) {
  JsonWriter json;
  json.BeginObject();
  json.Key("text");
  json.String("a\"b\\c\n\x01\xE4\xB8\xAD");  // quote, backslash, line end, SOH, U+4E2D
  json.Key("bad");
  json.String("x\xC0\xAFy\xE4\xB8");  // an overlong slash and a cut sequence
  json.Key("list");
  json.BeginArray();
  json.Int(-9223372036854775807 - 1);
  json.UInt(18446744073709551615u);
  json.Bool(false);
  json.Null();
  json.BeginObject();
  json.EndObject();
  json.EndArray();
  json.Key("empty");
  json.BeginArray();
  json.EndArray();
  json.EndObject();
  EXPECT_EQ(json.Text(),
            "{\n"
            "  \"text\": \"a\\\"b\\\\c\\u000a\\u0001\xE4\xB8\xAD\",\n"
            "  \"bad\": \"x\xEF\xBF\xBD\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD\",\n"
            "  \"list\": [\n"
            "    -9223372036854775808,\n"
            "    18446744073709551615,\n"
            "    false,\n"
            "    null,\n"
            "    {}\n"
            "  ],\n"
            "  \"empty\": []\n"
            "}\n");
}

TEST(JsonValue, ReadsWhatTheFileHolds) {
  JsonValue v;
  std::string reason;
  ASSERT_TRUE(
      ParseJson(" {\"a\": [1, -0, 9223372036854775807, -9223372036854775808, 1.5, 2e3,"
                " 9223372036854775808], \"s\": \"\\u4e2d\\ud83d\\ude00\\/\\t\","
                " \"t\": true, \"n\": null, \"o\": {}}\r\n",
                &v, &reason))
      << reason;
  int64_t n = 0;
  const JsonValue& a = v["a"];
  ASSERT_EQ(a.Size(), 7u);
  ASSERT_TRUE(a.At(0).GetInt(&n));
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(a.At(1).GetInt(&n));
  EXPECT_EQ(n, 0);
  ASSERT_TRUE(a.At(2).GetInt(&n));
  EXPECT_EQ(n, INT64_MAX);
  ASSERT_TRUE(a.At(3).GetInt(&n));
  EXPECT_EQ(n, INT64_MIN);
  // Numbers that are no 64-bit integers are read, but give no integer.
  EXPECT_FALSE(a.At(4).GetInt(&n));
  EXPECT_FALSE(a.At(5).GetInt(&n));
  EXPECT_FALSE(a.At(6).GetInt(&n));
  EXPECT_EQ(a.At(6).GetType(), JsonValue::Type::kNumber);
  ASSERT_NE(v["s"].GetString(), nullptr);
  EXPECT_EQ(*v["s"].GetString(), "\xE4\xB8\xAD\xF0\x9F\x98\x80/\t");
  bool flag = false;
  EXPECT_TRUE(v["t"].GetBool(&flag));
  EXPECT_TRUE(flag);
  EXPECT_TRUE(v["n"].IsNull());
  EXPECT_TRUE(v["o"].IsObject());
  // Lookups that miss answer null, whatever they ask.
  EXPECT_TRUE(v["missing"]["deeper"].At(3).IsNull());
  EXPECT_EQ(v["t"].GetString(), nullptr);
}

TEST(JsonValue, GarbageIsRefusedWithItsPlace) {
  struct Case {
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"", "missing value at byte 0"},
      {"  ", "missing value at byte 2"},
      {"{", "expected a member name at byte 1"},
      {"{\"a\" 1}", "expected ':' at byte 5"},
      {"{\"a\":1,}", "expected a member name at byte 7"},
      {"{\"a\":1 \"b\":2}", "expected ',' or '}' at byte 7"},
      {"[1,]", "unexpected character at byte 3"},
      {"[1 2]", "expected ',' or ']' at byte 3"},
      {"[1", "unterminated array at byte 2"},
      {"{} {}", "text after the value at byte 3"},
      {"tru", "unknown word at byte 0"},
      {"nul", "unknown word at byte 0"},
      {"01", "text after the value at byte 1"},
      {"-", "unexpected character at byte 1"},
      {"1.", "digit expected at byte 2"},
      {"1e+", "digit expected at byte 3"},
      {"+1", "unexpected character at byte 0"},
      {"\"abc", "unterminated string at byte 4"},
      {"\"a\nb\"", "control character in a string at byte 2"},
      {"\"\\x\"", "bad escape at byte 3"},
      {"\"\\u12G4\"", "bad \\u escape at byte 3"},
      {"\"\\u12", "short \\u escape at byte 3"},
      {"\"\\udc00\"", "lone low surrogate at byte 7"},
      {"\"\\ud800x\"", "lone high surrogate at byte 7"},
      {"\"\\ud800\\u0041\"", "lone high surrogate at byte 13"},
      {"\"\xC0\xAF\"", "not UTF-8 at byte 1"},
      {"\"\xED\xA0\x80\"", "not UTF-8 at byte 1"},
      {"\"\xE4\xB8", "not UTF-8 at byte 1"},
      {"\xEF\xBB\xBF{}", "unexpected character at byte 0"},
      {"{\"a\":1,\"b\":2,\"a\":3}", "a member named twice in the object ending at byte 18"},
      {std::string(65, '[') + std::string(65, ']'), "nesting too deep at byte 64"},
      {std::string("{\"a\":\0}", 7), "unexpected character at byte 5"},
  };
  for (const Case& c : cases) {
    JsonValue v;
    std::string reason;
    EXPECT_FALSE(ParseJson(c.text, &v, &reason)) << c.text;
    EXPECT_EQ(reason, c.reason) << c.text;
    EXPECT_TRUE(v.IsNull()) << c.text;
  }
  // The deepest nesting taken.
  JsonValue v;
  EXPECT_TRUE(ParseJson(std::string(64, '[') + std::string(64, ']'), &v, nullptr));
}

}  // namespace
}  // namespace fw
