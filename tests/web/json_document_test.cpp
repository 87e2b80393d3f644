#include "web/json_document.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

// Readable failure messages for texts (found through QString's namespace).
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace skysail {
namespace {

QString Q(const char* text)
{
    return QString::fromUtf8(text);
}

QString Nested(int levels, const char* open, const char* close)
{
    return Q(open).repeated(levels) + Q(close).repeated(levels);
}

// What each read gives for one document and one path: GetText, GetText with asJson, TypeOf, Count.
struct PathCase
{
    const char* document;
    const char* path;
    const char* text;
    const char* json;
    JsonKind kind;
    int count;
};

TEST(JsonDocument, ReadsByMemberPath)
{
    const char* successImage = R"({"success_image":[{"url":"http://i.example/a.png"}],"total_error":0})";
    const char* noImage = R"({"success_image":[],"total_error":0})";
    const char* nested = R"({"a":{"b":"c"}})";
    const PathCase cases[] = {
        // The three service replies.
        { R"({"wbpid":"006abc"})", "wbpid", "006abc", R"("006abc")", JsonKind::String, 0 },
        { R"({"wbpid":"006abc"})", "error", "", "", JsonKind::Null, 0 },
        { R"({"data":{"url":"http://s.example/x.jpg"}})", "data.url", "http://s.example/x.jpg",
            R"("http://s.example/x.jpg")", JsonKind::String, 0 },
        { R"({"code":"error"})", "data.url", "", "", JsonKind::Other, 0 },
        { successImage, "['success_image'][0].url", "http://i.example/a.png", R"("http://i.example/a.png")",
            JsonKind::Other, 0 },
        { successImage, "['total_error']", "0", "0", JsonKind::Other, 0 },
        { successImage, "['success_image']", "", R"([{"url":"http://i.example/a.png"}])", JsonKind::Other, 1 },
        { noImage, "['success_image'][0].url", "", "", JsonKind::Other, 0 },
        // Kinds and their texts.
        { R"({"a":null})", "a", "", "null", JsonKind::Null, 0 },
        { R"({"a":2.5})", "a", "2.5", "2.5", JsonKind::Number, 0 },
        { R"({"a":1234567890123456})", "a", "1.234567890123e+15", "1234567890123456", JsonKind::Number, 0 },
        { R"({"a":true})", "a", "true", "true", JsonKind::Other, 0 },
        { R"({"o":{"x":1, "y":[false,"s"]}})", "o", "", R"({"x":1,"y":[false,"s"]})", JsonKind::Object, 2 },
        { R"({"arr":[1,2,3]})", "arr", "", "[1,2,3]", JsonKind::Array, 3 },
        { R"({"a":[10,20]})", "a[1]", "20", "20", JsonKind::Number, 0 },
        { R"({"a":[10,20]})", "a[2]", "", "", JsonKind::Null, 0 },
        { R"({"a":[10,20]})", "a['1']", "20", "20", JsonKind::Number, 0 },
        { R"({"a":{"0":"zero"}})", "a[0]", "zero", R"("zero")", JsonKind::String, 0 },
        { R"({"a":"text"})", "a.length", "", "", JsonKind::Other, 0 },
        { R"({"数据":{"链接":"x"}})", "数据.链接", "x", R"("x")", JsonKind::String, 0 },
        { R"({"a b":{"it's":"q"}})", R"(['a b']['it\'s'])", "q", R"("q")", JsonKind::Other, 0 },
        { R"({"k":"v"})", R"(["k"])", "v", R"("v")", JsonKind::Other, 0 },
        { R"({"k":"v"})", R"(['\u006b'])", "v", R"("v")", JsonKind::Other, 0 },
        { R"({"a":1,"b":2,"a":3})", "a", "3", "3", JsonKind::Number, 0 },
        { "[1,[2,3]]", "[1][0]", "2", "2", JsonKind::Other, 0 },
        { "[1,[2,3]]", "[1]", "", "[2,3]", JsonKind::Other, 2 },
        // The empty path: the root for TypeOf and Count, nothing for GetText.
        { R"({"a":1})", "", "", "", JsonKind::Object, 1 },
        { "[1,2,3]", "", "", "", JsonKind::Array, 3 },
        { "5", "", "", "", JsonKind::Number, 0 },
        // A reply that is not JSON leaves a null root.
        { "<html><body>502</body></html>", "a", "", "", JsonKind::Other, 0 },
        { "<html><body>502</body></html>", "", "", "", JsonKind::Null, 0 },
        // Numbers beyond double range read as null; the rest of the reply stays readable.
        { R"({"a":1e400,"b":"ok"})", "a", "", "null", JsonKind::Null, 0 },
        { R"({"a":-1e400,"b":"ok"})", "b", "ok", R"("ok")", JsonKind::String, 0 },
        { R"({"a":1e-400})", "a", "0", "0", JsonKind::Number, 0 },
        // Element numbers that are negative, padded or beyond any array.
        { R"({"a":[1]})", "a[-1]", "", "", JsonKind::Other, 0 },
        { R"({"a":[1]})", "a[00]", "", "", JsonKind::Other, 0 },
        { R"({"a":[1]})", "a[4294967295]", "", "", JsonKind::Null, 0 },
        { R"({"a":[1]})", "a[99999999999999999999999999]", "", "", JsonKind::Null, 0 },
        // Malformed paths.
        { nested, "a..b", "", "", JsonKind::Other, 0 },
        { nested, "...", "", "", JsonKind::Other, 0 },
        { nested, "a.", "", "", JsonKind::Other, 0 },
        { nested, ".a", "", "", JsonKind::Other, 0 },
        { nested, "a[", "", "", JsonKind::Other, 0 },
        { nested, "a]", "", "", JsonKind::Other, 0 },
        { nested, "a['b", "", "", JsonKind::Other, 0 },
        { nested, "a['b\"]", "", "", JsonKind::Other, 0 },
        { nested, "a[b]", "", "", JsonKind::Other, 0 },
        { nested, "a['b']x", "", "", JsonKind::Other, 0 },
        { nested, "a b", "", "", JsonKind::Other, 0 },
        { nested, "1a", "", "", JsonKind::Other, 0 },
        { nested, "['a'", "", "", JsonKind::Other, 0 },
        { nested, "[]", "", "", JsonKind::Other, 0 },
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(std::string(c.document) + " | " + c.path);
        JsonDocument document;
        document.Parse(Q(c.document));
        const QString path = Q(c.path);
        EXPECT_EQ(document.GetText(path), Q(c.text));
        EXPECT_EQ(document.GetText(path, true), Q(c.json));
        EXPECT_EQ(document.TypeOf(path), c.kind);
        EXPECT_EQ(document.Count(path), c.count);
    }
}

TEST(JsonDocument, NumbersAsTextFollowTheirPath)
{
    // A "." path reads a number as "%.13g"; a "[" path gives the script engine's own text.
    struct Case
    {
        const char* literal;
        const char* dotted;
        const char* bracketed;
    };
    const Case cases[] = {
        { "1", "1", "1" },
        { "-1.5", "-1.5", "-1.5" },
        { "0.1", "0.1", "0.1" },
        { "3.14159265358979", "3.14159265359", "3.14159265358979" },
        { "123456789012345678", "1.234567890123e+17", "123456789012345680" },
        { "1e20", "1e+20", "100000000000000000000" },
        { "1e21", "1e+21", "1e+21" },
        { "0.000001", "1e-06", "0.000001" },
        { "1e-7", "1e-07", "1e-7" },
        { "-2.5e-300", "-2.5e-300", "-2.5e-300" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.literal);
        JsonDocument document;
        ASSERT_TRUE(document.Parse(Q(R"({"n":)") + Q(c.literal) + Q("}")));
        EXPECT_EQ(document.GetText(Q("n")), Q(c.dotted));
        EXPECT_EQ(document.GetText(Q("['n']")), Q(c.bracketed));
        EXPECT_EQ(document.ToText(), Q(R"({"n":)") + Q(c.bracketed) + Q("}"));
    }
}

TEST(JsonDocument, ParseAcceptsOnlyOneStrictNonNullValue)
{
    const std::pair<const char*, bool> cases[] = {
        { "", false },
        { "null", false },
        { "<html><head><title>502 Bad Gateway</title></head></html>", false },
        { "{'a':1}", false },
        { "{a:1}", false },
        { R"({"a":1} trailing)", false },
        { R"({"a":1,})", false },
        { "\"just text\"", true },
        { "0", true },
        { " {\n \"a\" : [ 1 , 2 ]\r\n} ", true },
    };
    for (const auto& [text, parsed] : cases) {
        SCOPED_TRACE(text);
        JsonDocument document;
        document.SetMember(Q("old"), Q("value"));
        EXPECT_EQ(document.Parse(Q(text)), parsed);
        EXPECT_TRUE(document.GetText(Q("old")).isEmpty()); // whatever the root held is gone
        if (!parsed) {
            EXPECT_EQ(document.ToText(), Q("null"));
        }
    }
}

TEST(JsonDocument, ToTextIsCompactInDocumentOrder)
{
    JsonDocument document;
    EXPECT_EQ(document.ToText(), Q("{}"));
    ASSERT_TRUE(document.Parse(
        Q("{ \"z\" : 1,\n \"a\" : [ true, null, 2.50 ], \"m\" : { } , \"s\": \"q\\\"\\\\\\n\\u0001/\" }")));
    EXPECT_EQ(document.ToText(), Q(R"({"z":1,"a":[true,null,2.5],"m":{},"s":"q\"\\\n\u0001/"})"));
    EXPECT_EQ(document.MemberToText(Q("a")), Q("[true,null,2.5]"));
    EXPECT_TRUE(document.MemberToText(Q("missing")).isEmpty());
    EXPECT_TRUE(document.MemberToText(Q("['a']")).isEmpty()); // only GetText joins "[" to the root
}

TEST(JsonDocument, CopiesShareTheRootAndGetObjectHasItsOwn)
{
    std::optional<JsonDocument> original(std::in_place);
    ASSERT_TRUE(original->Parse(Q(R"({"data":{"url":"u","list":[{"id":7}]}})")));
    JsonDocument handle = *original;
    handle.SetMember(Q("added"), Q("yes"));
    EXPECT_EQ(original->GetText(Q("added")), Q("yes"));
    original->Parse(Q(R"({"fresh":1})"));
    EXPECT_EQ(handle.ToText(), Q(R"({"fresh":1})"));
    ASSERT_TRUE(original->Parse(Q(R"({"data":{"url":"u","list":[{"id":7}]}})")));

    JsonDocument data = original->GetObject(Q("data"));
    JsonDocument element = original->GetElementObject(0, Q("data.list"));
    JsonDocument missing = original->GetObject(Q("data.nothing"));
    original.reset();
    EXPECT_EQ(handle.GetText(Q("data.url")), Q("u")); // the root outlives the first handle
    EXPECT_EQ(data.ToText(), Q(R"({"url":"u","list":[{"id":7}]})"));
    EXPECT_EQ(element.GetText(Q("id")), Q("7"));
    EXPECT_EQ(missing.TypeOf(QString()), JsonKind::Null);

    data.SetMember(Q("url"), Q("changed"));
    EXPECT_EQ(handle.GetText(Q("data.url")), Q("u"));
    EXPECT_TRUE(handle.GetObject(QString()).ToText() == Q("null"));
}

TEST(JsonDocument, PushMakesAnArrayWhereThereIsNone)
{
    JsonDocument document;
    ASSERT_TRUE(document.Parse(Q(R"({"n":5,"list":["a"],"o":{}})")));
    document.Push(Q("s"), Q("n"));
    document.Push(Q("b"), Q("list"));
    document.Push(Q(R"({"k":[1]})"), Q("list"), true);
    document.Push(Q("x"), Q("o.fresh"));
    document.Push(Q("lost"), Q("missing.parent"));
    document.Push(Q("lost"), Q("['n']"));
    document.Push(Q("{broken"), Q("o.fresh"), true);
    EXPECT_EQ(document.ToText(), Q(R"({"n":["s"],"list":["a","b",{"k":[1]}],"o":{"fresh":["x"]}})"));

    document.Push(Q("root"), QString());
    document.Push(Q("2"), QString(), true);
    EXPECT_EQ(document.ToText(), Q(R"(["root",2])"));
    EXPECT_EQ(document.Count(QString()), 2);
}

TEST(JsonDocument, ChangesByKeyAndIndex)
{
    JsonDocument document;
    document.SetMember(Q("s"), Q("say \"hi\"\n"));
    document.SetMember(Q("j"), Q("[1,{\"a\":2}]"), true);
    document.SetMember(Q("e"), QString(), true);
    document.SetMemberJson(Q("bad"), Q("{oops"));
    document.SetMemberJson(Q("empty"), QString());
    document.SetMemberJson(Q("j[1].b"), Q("true"));
    document.SetMemberNumber(Q("pi"), 3.14159265358979);
    document.SetMemberNumber(Q("inf"), std::numeric_limits<double>::infinity());
    document.SetMember(Q("['x']"), Q("not joined"));
    document.SetMember(Q("missing.child"), Q("no parent"));
    document.SetMember(QString(), Q("no key"));
    EXPECT_EQ(document.ToText(), Q(R"({"s":"say \"hi\"\n","j":[1,{"a":2,"b":true}],"e":{},"pi":3.14159265359})"));
    EXPECT_EQ(document.GetText(Q("s")), Q("say \"hi\"\n"));
    EXPECT_DOUBLE_EQ(document.GetNumber(Q("pi")), 3.14159265359);
    EXPECT_DOUBLE_EQ(document.GetNumber(Q("j[0]")), 1.0);
    EXPECT_EQ(document.GetNumber(Q("s")), 0.0);
    EXPECT_EQ(document.GetNumber(QString()), 0.0);

    EXPECT_TRUE(document.HasMember(Q("j")));
    document.SetMemberJson(Q("s"), Q("null"));
    EXPECT_FALSE(document.HasMember(Q("s")));
    EXPECT_FALSE(document.HasMember(Q("missing")));
    document.RemoveMember(Q("j[1].a"));
    document.RemoveMember(Q("s"));
    document.RemoveMember(Q("j[0]")); // deleting an element leaves a hole, written as null
    EXPECT_EQ(document.ToText(), Q(R"({"j":[null,{"b":true}],"e":{},"pi":3.14159265359})"));

    document.SetValue(Q(R"(["a","b","c"])"), true);
    document.SetElement(1, Q("B"));
    document.SetElement(4, Q("{}"), true);
    document.SetElement(-1, Q("never"));
    document.SetElement(100000000, Q("too far"));
    EXPECT_EQ(document.ToText(), Q(R"(["a","B","c",null,{}])"));
    EXPECT_EQ(document.GetElementText(1, QString()), Q("B"));
    EXPECT_EQ(document.GetElementText(4, QString(), true), Q("{}"));
    EXPECT_TRUE(document.GetElementText(9, QString()).isEmpty());
    EXPECT_TRUE(document.GetElementText(-1, QString()).isEmpty());
    document.RemoveElement(0);
    document.RemoveElement(9);
    document.RemoveElement(-1);
    EXPECT_EQ(document.ToText(), Q(R"(["B","c",null,{}])"));

    document.SetValue(Q("plain"));
    EXPECT_EQ(document.ToText(), Q(R"("plain")"));
    document.SetValue(Q("{broken"), true);
    EXPECT_EQ(document.ToText(), Q(R"("plain")"));
}

TEST(JsonDocument, ResetAsAndClear)
{
    JsonDocument document;
    ASSERT_TRUE(document.Parse(Q(R"({"a":1})")));
    document.ResetAs(JsonKind(3));
    EXPECT_EQ(document.ToText(), Q(R"({"a":1})"));
    document.ResetAs(JsonKind::Array);
    EXPECT_EQ(document.ToText(), Q("[]"));
    document.ResetAs(JsonKind::Null);
    EXPECT_EQ(document.ToText(), Q("{}"));
    document.ResetAs(JsonKind::Array);
    document.ResetAs(JsonKind::Object);
    EXPECT_EQ(document.ToText(), Q("{}"));
    document.Parse(Q("[1]"));
    document.Clear();
    EXPECT_EQ(document.ToText(), Q("{}"));
    EXPECT_EQ(document.Count(QString()), 0);
}

TEST(JsonDocument, MemberNamesInTheObjectsOrder)
{
    JsonDocument document;
    ASSERT_TRUE(document.Parse(Q(R"({"zeta":1,"alpha":{"y":[5,6,7],"x":2},"mid":3})")));
    QStringList names { Q("stale") };
    EXPECT_EQ(document.MemberNames(names, QString()), 3);
    EXPECT_EQ(names, QStringList({ Q("zeta"), Q("alpha"), Q("mid") }));
    EXPECT_EQ(document.MemberNames(names, Q("alpha")), 2);
    EXPECT_EQ(names, QStringList({ Q("y"), Q("x") }));
    EXPECT_EQ(document.MemberNames(names, Q("alpha.y")), 3);
    EXPECT_EQ(names, QStringList({ Q("0"), Q("1"), Q("2") }));
    EXPECT_EQ(document.MemberNames(names, Q("zeta")), 0);
    EXPECT_TRUE(names.isEmpty());
    names = QStringList { Q("stale") };
    EXPECT_EQ(document.MemberNames(names, Q("['alpha']")), 0);
    EXPECT_TRUE(names.isEmpty());
}

TEST(JsonDocument, HostileInputGivesEmptyResults)
{
    JsonDocument document;
    // Nesting a hundred thousand levels deep, in every container and as a value handed in.
    for (const QString& deep : { Nested(100000, "[", "]"), Nested(100000, "{\"a\":", "}"), Nested(100000, "[", ""),
             Q(R"({"a":)") + Nested(100000, "[", "]") + Q("}") }) {
        EXPECT_FALSE(document.Parse(deep));
        EXPECT_TRUE(document.GetText(Q("a")).isEmpty());
        EXPECT_EQ(document.ToText(), Q("null"));
    }
    EXPECT_TRUE(document.Parse(Nested(512, "[", "]")));
    EXPECT_FALSE(document.Parse(Nested(513, "[", "]")));
    document.Clear();
    document.SetMemberJson(Q("a"), Nested(511, "[", "]"));
    document.SetMemberJson(Q("b"), Nested(512, "[", "]"));
    document.Push(Nested(511, "[", "]"), Q("c"), true);
    QStringList names;
    EXPECT_EQ(document.MemberNames(names, QString()), 1); // only the value that fits

    // Paths of a hundred thousand steps or dots.
    EXPECT_TRUE(document.GetText(Q(".").repeated(100000)).isEmpty());
    EXPECT_TRUE(document.GetText(Q("a") + Q("[0]").repeated(100000)).isEmpty());
    EXPECT_EQ(document.TypeOf(Q("a") + Q(".a").repeated(100000)), JsonKind::Other);

    // A fifty-megabyte reply reads back whole.
    const QString big = QString(50 * 1024 * 1024, u'x');
    ASSERT_TRUE(document.Parse(Q(R"({"url":")") + big + Q(R"("})")));
    EXPECT_EQ(document.GetText(Q("url")).size(), big.size());

    // A long object (many repeated names are looked up, not scanned).
    QString members;
    for (int i = 0; i < 200000; ++i)
        members += Q("\"k") + QString::number(i % 100000) + Q("\":") + QString::number(i) + u',';
    members.chop(1);
    ASSERT_TRUE(document.Parse(u'{' + members + u'}'));
    EXPECT_EQ(document.Count(QString()), 100000);
    EXPECT_EQ(document.GetText(Q("k5")), Q("100005"));

    // Bytes that are not UTF-8 arrive as replacement characters and stay inside their string.
    ASSERT_TRUE(document.Parse(QString::fromUtf8("{\"a\":\"\xff\xfe ok\"}")));
    EXPECT_EQ(document.GetText(Q("a")), QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd ok"));
    EXPECT_FALSE(document.Parse(QString::fromUtf8("{\"a\":1\xff}")));
}

} // namespace
} // namespace skysail
