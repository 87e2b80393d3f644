#include "web/json_document.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace skysail {

using Json = nlohmann::ordered_json;

struct JsonDocument::Root
{
    Json value = Json::object();
};

namespace {

// Nothing deeper is ever stored: the serializer recurses once per level and must stay far from
// the end of a worker thread's stack. Service replies are a handful of levels deep.
constexpr std::size_t kMaxDepth = 512;
// Assigning past an array's end pads it with nulls, as the script engine does, but not without bound.
constexpr std::size_t kMaxArrayPadding = 1 << 16;
// Objects longer than this get a name index while they are parsed (repeated names are looked up).
constexpr std::size_t kIndexMembersFrom = 32;
// Array indexes as the script engine knows them are below 2^32 - 1.
constexpr std::uint64_t kArrayIndexLimit = 4294967295ULL;

// ---- numbers as text -------------------------------------------------------------------------

// printf's "%.13g", but independent of the C locale (Qt sets it from the environment).
std::string FormatG13(double number)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

// The script engine's number-to-text: shortest digits that read back to the same double, plain
// form from 1e-6 up to below 1e21, exponent form outside.
std::string JsNumberText(double number)
{
    if (std::isnan(number))
        return "NaN";
    if (std::isinf(number))
        return number < 0 ? "-Infinity" : "Infinity";
    if (number == 0)
        return "0"; // minus zero too
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific);
    std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    std::string out;
    if (text.front() == '-') {
        out += '-';
        text.remove_prefix(1);
    }
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (char c : text.substr(0, ePos))
        if (c != '.')
            digits += c;
    std::string_view exponentText = text.substr(ePos + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1; // the value is 0.digits × 10^n
    if (k <= n && n <= 21) {
        out += digits;
        out.append(static_cast<std::size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out.append(digits, 0, static_cast<std::size_t>(n));
        out += '.';
        out.append(digits, static_cast<std::size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-n), '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += n - 1 < 0 ? "e-" : "e+";
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}

// ---- compact JSON text -----------------------------------------------------------------------

void AppendQuoted(std::string& out, const std::string& text)
{
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// No whitespace, members in the object's order, numbers as the script engine writes them and
// non-finite ones as null. Recursion is bounded by kMaxDepth.
void AppendCompact(std::string& out, const Json& value)
{
    switch (value.type()) {
    case Json::value_t::boolean:
        out += value.get<bool>() ? "true" : "false";
        break;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: {
        const double number = value.get<double>();
        out += std::isfinite(number) ? JsNumberText(number) : std::string("null");
        break;
    }
    case Json::value_t::string:
        AppendQuoted(out, value.get_ref<const Json::string_t&>());
        break;
    case Json::value_t::array: {
        out += '[';
        bool first = true;
        for (const Json& element : value.get_ref<const Json::array_t&>()) {
            if (!first)
                out += ',';
            first = false;
            AppendCompact(out, element);
        }
        out += ']';
        break;
    }
    case Json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto& [name, member] : value.get_ref<const Json::object_t&>()) {
            if (!first)
                out += ',';
            first = false;
            AppendQuoted(out, name);
            out += ':';
            AppendCompact(out, member);
        }
        out += '}';
        break;
    }
    default: // null, and kinds a parsed text never holds
        out += "null";
    }
}

QString CompactText(const Json& value)
{
    std::string out;
    AppendCompact(out, value);
    return QString::fromStdString(out);
}

// ---- reading JSON text -----------------------------------------------------------------------

bool IsJsonNumber(std::string_view token)
{
    std::size_t i = 0;
    const auto digitsFrom = [&](std::size_t at) {
        std::size_t end = at;
        while (end < token.size() && token[end] >= '0' && token[end] <= '9')
            ++end;
        return end;
    };
    if (i < token.size() && token[i] == '-')
        ++i;
    std::size_t end = digitsFrom(i);
    if (end == i || (token[i] == '0' && end - i > 1))
        return false;
    i = end;
    if (i < token.size() && token[i] == '.') {
        end = digitsFrom(i + 1);
        if (end == i + 1)
            return false;
        i = end;
    }
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-'))
            ++i;
        end = digitsFrom(i);
        if (end == i)
            return false;
        i = end;
    }
    return i == token.size();
}

// True for a valid JSON number whose magnitude is beyond double range (not for underflow).
bool OverflowsDouble(std::string_view token)
{
    double value = 0;
    if (std::from_chars(token.data(), token.data() + token.size(), value).ec != std::errc::result_out_of_range)
        return false;
    // Out of range either way: the power of ten of the leading digit tells overflow from underflow.
    std::size_t i = token.front() == '-' ? 1 : 0;
    const std::size_t ePos = std::min(token.find_first_of("eE"), token.size());
    const std::size_t dot = std::min(token.find('.'), ePos);
    long long power = 0;
    bool found = false;
    for (; i < ePos && !found; ++i) {
        if (token[i] == '.' || token[i] == '0')
            continue;
        found = true;
        power = i < dot ? static_cast<long long>(dot - i) - 1 : -static_cast<long long>(i - dot);
    }
    long long exponent = 0;
    if (ePos < token.size()) {
        std::size_t j = ePos + 1;
        const bool negative = token[j] == '-';
        if (token[j] == '+' || token[j] == '-')
            ++j;
        for (; j < token.size(); ++j)
            exponent = std::min(exponent * 10 + (token[j] - '0'), 1'000'000'000LL);
        if (negative)
            exponent = -exponent;
    }
    return found && power + exponent > 0;
}

// A number beyond double range would make the whole reply unreadable. The script engine reads
// it as Infinity, which it writes as null; here it is read as null straight away.
std::string NullOverflowingNumbers(std::string text)
{
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            std::size_t end = i;
            while (end < text.size() && std::string_view("0123456789+-.eE").find(text[end]) != std::string_view::npos)
                ++end;
            const std::string_view token(text.data() + i, end - i);
            if (IsJsonNumber(token) && OverflowsDouble(token))
                spans.emplace_back(i, end - i);
            i = end - 1;
        }
    }
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        text.replace(it->first, it->second, "null");
    return text;
}

// ordered_map hides the vector's own operator[] behind its by-name one.
Json::object_t::value_type& Entry(Json::object_t& members, std::size_t i)
{
    return *(members.begin() + static_cast<std::ptrdiff_t>(i));
}

// Builds the value from the parser's events. Unlike the library's own builder it refuses
// documents nested deeper than kMaxDepth (at once, before building further) and looks repeated
// member names up through an index, so a long hostile object cannot make parsing quadratic.
class DomBuilder
{
public:
    explicit DomBuilder(Json& root)
        : m_root(root)
    { }

    std::size_t MaxDepth() const { return m_maxDepth; }

    bool null() { return Place(Json(nullptr)) != nullptr; }
    bool boolean(bool value) { return Place(Json(value)) != nullptr; }
    bool number_integer(Json::number_integer_t value) { return Place(Json(value)) != nullptr; }
    bool number_unsigned(Json::number_unsigned_t value) { return Place(Json(value)) != nullptr; }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return Place(Json(value)) != nullptr; }
    bool string(Json::string_t& value) { return Place(Json(std::move(value))) != nullptr; }
    bool binary(Json::binary_t&) { return false; }
    bool start_object(std::size_t) { return Open(Json::object()); }
    bool start_array(std::size_t) { return Open(Json::array()); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

    bool key(Json::string_t& name)
    {
        Level& level = m_levels.back();
        auto& members = level.container->get_ref<Json::object_t&>();
        std::optional<std::size_t> at;
        if (members.size() < kIndexMembersFrom) {
            for (std::size_t i = 0; i < members.size() && !at; ++i)
                if (Entry(members, i).first == name)
                    at = i;
        } else {
            if (level.names.empty())
                for (std::size_t i = 0; i < members.size(); ++i)
                    level.names.emplace(Entry(members, i).first, i);
            if (const auto found = level.names.find(name); found != level.names.end())
                at = found->second;
        }
        // A repeated name keeps its first place and takes the later value, as JSON.parse does.
        if (!at) {
            members.emplace_back(std::move(name), Json());
            at = members.size() - 1;
            if (!level.names.empty())
                level.names.emplace(members.back().first, *at);
        }
        m_member = &Entry(members, *at).second;
        return true;
    }

private:
    struct Level
    {
        Json* container;
        std::unordered_map<std::string, std::size_t> names;
    };

    Json* Place(Json&& value)
    {
        if (m_levels.empty()) {
            m_root = std::move(value);
            return &m_root;
        }
        Json& top = *m_levels.back().container;
        if (top.is_array()) {
            auto& elements = top.get_ref<Json::array_t&>();
            elements.push_back(std::move(value));
            return &elements.back();
        }
        *m_member = std::move(value);
        return m_member;
    }

    bool Open(Json&& container)
    {
        if (m_levels.size() >= kMaxDepth)
            return false;
        m_levels.push_back(Level { Place(std::move(container)), {} });
        m_maxDepth = std::max(m_maxDepth, m_levels.size());
        return true;
    }

    bool Close()
    {
        m_levels.pop_back();
        return true;
    }

    Json& m_root;
    std::vector<Level> m_levels;
    Json* m_member = nullptr;
    std::size_t m_maxDepth = 0;
};

struct ParsedValue
{
    Json value;
    std::size_t depth = 0; // levels of nesting: 0 for a scalar, 1 for [] or {}
};

// One strict JSON value (null included); nothing for anything else.
std::optional<ParsedValue> ReadJson(const QString& text)
{
    const std::string utf8 = NullOverflowingNumbers(text.toStdString());
    ParsedValue parsed;
    DomBuilder builder(parsed.value);
    if (!Json::sax_parse(utf8, &builder, Json::input_format_t::json, true, false))
        return std::nullopt;
    parsed.depth = builder.MaxDepth();
    return parsed;
}

// A value handed in by a caller: a JSON string, or with asJson the value of the JSON text.
std::optional<ParsedValue> ReadValue(const QString& value, bool asJson)
{
    if (!asJson)
        return ParsedValue { Json(value.toStdString()), 0 };
    return ReadJson(value);
}

// ---- member paths ----------------------------------------------------------------------------

// One accessor step. `name` is the property name the script engine would look up on an object
// (an element number becomes its decimal text); `element` is set when that name is an array index.
struct Step
{
    std::string name;
    std::optional<std::size_t> element;
};

std::optional<std::size_t> ArrayIndex(std::string_view name)
{
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name.front() == '0'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : name) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value >= kArrayIndexLimit)
        return std::nullopt;
    return static_cast<std::size_t>(value);
}

Step NameStep(std::string name)
{
    auto element = ArrayIndex(name);
    return Step { std::move(name), element };
}

Step IndexStep(long long index)
{
    return NameStep(std::to_string(index));
}

// An element number written in a bracket: digits without a leading zero. Long ones name what
// the script engine would turn the number into (1e+21, say), which is never an array index.
Step NumberStep(const std::string& digits)
{
    if (digits.size() <= 15)
        return NameStep(digits);
    double value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return Step { JsNumberText(value), std::nullopt };
}

bool IsNameStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'$';
}

bool IsNamePart(QChar c)
{
    return IsNameStart(c) || c.isDigit();
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool IsLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029);
}

// The quoted name of a bracket step, from the opening quote at `i`; moves `i` past the closing
// quote. Escapes read as in a script string literal; a line break or no closing quote fails.
std::optional<QString> ReadQuotedName(const QString& path, qsizetype& i)
{
    const QChar quote = path[i++];
    QString name;
    while (i < path.size()) {
        const QChar c = path[i++];
        if (c == quote)
            return name;
        if (IsLineBreak(c))
            return std::nullopt;
        if (c != u'\\') {
            name += c;
            continue;
        }
        if (i >= path.size())
            return std::nullopt;
        const QChar e = path[i++];
        const auto hex = [&](int count) -> std::optional<QChar> {
            if (path.size() - i < count)
                return std::nullopt;
            char16_t code = 0;
            for (int d = 0; d < count; ++d) {
                const int digit = HexDigit(path[i + d]);
                if (digit < 0)
                    return std::nullopt;
                code = static_cast<char16_t>(code * 16 + digit);
            }
            i += count;
            return QChar(code);
        };
        std::optional<QChar> decoded;
        switch (e.unicode()) {
        case u'n':
            decoded = QChar(u'\n');
            break;
        case u't':
            decoded = QChar(u'\t');
            break;
        case u'r':
            decoded = QChar(u'\r');
            break;
        case u'b':
            decoded = QChar(u'\b');
            break;
        case u'f':
            decoded = QChar(u'\f');
            break;
        case u'v':
            decoded = QChar(u'\v');
            break;
        case u'x':
            decoded = hex(2);
            break;
        case u'u':
            decoded = hex(4);
            break;
        case u'0':
            if (i < path.size() && path[i].isDigit())
                return std::nullopt;
            decoded = QChar(u'\0');
            break;
        default:
            if (e.isDigit() || IsLineBreak(e))
                return std::nullopt; // octal escapes and line continuations are not taken
            decoded = e;
        }
        if (!decoded)
            return std::nullopt;
        name += *decoded;
    }
    return std::nullopt;
}

// Steps of a member path; nothing when the path (joined to the root as stated) does not parse.
// An empty path gives no steps: the root itself. Only GetText, GetObject and Count join a path
// that begins with "[" straight to the root (bracketJoinsDirectly); for the rest a "." comes
// first, and ".[" does not parse.
std::optional<std::vector<Step>> ParsePath(const QString& path, bool bracketJoinsDirectly)
{
    std::vector<Step> steps;
    if (path.startsWith(u'[') && !bracketJoinsDirectly)
        return std::nullopt;
    qsizetype i = 0;
    while (i < path.size()) {
        if (path[i] == u'[') {
            ++i;
            if (i >= path.size())
                return std::nullopt;
            if (path[i] == u'\'' || path[i] == u'"') {
                const auto name = ReadQuotedName(path, i);
                if (!name)
                    return std::nullopt;
                steps.push_back(NameStep(name->toStdString()));
            } else {
                const qsizetype start = i;
                while (i < path.size() && path[i] >= u'0' && path[i] <= u'9')
                    ++i;
                const std::string digits = path.mid(start, i - start).toStdString();
                if (digits.empty() || (digits.size() > 1 && digits.front() == '0'))
                    return std::nullopt;
                steps.push_back(NumberStep(digits));
            }
            if (i >= path.size() || path[i] != u']')
                return std::nullopt;
            ++i;
            continue;
        }
        if (!steps.empty()) {
            if (path[i] != u'.')
                return std::nullopt;
            ++i;
        }
        const qsizetype start = i;
        if (i >= path.size() || !IsNameStart(path[i]))
            return std::nullopt;
        while (i < path.size() && IsNamePart(path[i]))
            ++i;
        steps.push_back(NameStep(path.mid(start, i - start).toStdString()));
    }
    return steps;
}

enum class Found
{
    Value,
    Absent,
    Unevaluable
};

struct Lookup
{
    Found found;
    Json* value = nullptr;
};

Json* Child(Json& parent, const Step& step)
{
    if (parent.is_object()) {
        auto& members = parent.get_ref<Json::object_t&>();
        const auto it = members.find(step.name);
        return it == members.end() ? nullptr : &it->second;
    }
    auto& elements = parent.get_ref<Json::array_t&>();
    return step.element && *step.element < elements.size() ? &elements[*step.element] : nullptr;
}

// Walks the steps from the root. A step whose parent is missing, null or not an object or
// array cannot be evaluated (the script engine raises an error there); a missing last value is
// merely absent.
Lookup Resolve(Json& root, std::span<const Step> steps)
{
    Json* current = &root;
    for (const Step& step : steps) {
        if (!current || !(current->is_object() || current->is_array()))
            return { Found::Unevaluable };
        current = Child(*current, step);
    }
    return current ? Lookup { Found::Value, current } : Lookup { Found::Absent };
}

// Stores value at the last step as an assignment in the script engine does: a new member goes
// last, an existing one keeps its place, an array index past the end pads with nulls. False (and
// no change) when the parent cannot take it or the result would nest deeper than kMaxDepth.
bool Assign(Json& root, std::span<const Step> steps, ParsedValue&& item)
{
    if (steps.empty() || steps.size() + item.depth > kMaxDepth)
        return false;
    const Lookup parent = Resolve(root, steps.first(steps.size() - 1));
    if (parent.found != Found::Value)
        return false;
    const Step& last = steps.back();
    if (parent.value->is_object()) {
        parent.value->get_ref<Json::object_t&>()[last.name] = std::move(item.value);
        return true;
    }
    if (!parent.value->is_array() || !last.element)
        return false;
    auto& elements = parent.value->get_ref<Json::array_t&>();
    const std::size_t index = *last.element;
    if (index < elements.size()) {
        elements[index] = std::move(item.value);
        return true;
    }
    if (index - elements.size() > kMaxArrayPadding)
        return false;
    elements.resize(index);
    elements.push_back(std::move(item.value));
    return true;
}

JsonKind KindOf(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::null:
        return JsonKind::Null;
    case Json::value_t::string:
        return JsonKind::String;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return JsonKind::Number;
    case Json::value_t::object:
        return JsonKind::Object;
    case Json::value_t::array:
        return JsonKind::Array;
    default:
        return JsonKind::Other;
    }
}

// A value read as plain text where no number format is asked for: strings unchanged, numbers as
// the script engine writes them, true and false as words; nothing for null, objects and arrays.
QString PlainText(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::string:
        return QString::fromStdString(value.get_ref<const Json::string_t&>());
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return QString::fromStdString(JsNumberText(value.get<double>()));
    case Json::value_t::boolean:
        return value.get<bool>() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return {};
    }
}

// Failures are values here: whatever a library or the allocator throws stops at the class edge.
template <typename Result, typename Body> Result Guarded(Result fallback, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename Body> void Guarded(Body&& body) noexcept
{
    try {
        body();
    } catch (...) { }
}

} // namespace

JsonDocument::JsonDocument()
    : m_root(std::make_shared<Root>())
{ }

JsonDocument::~JsonDocument() = default;

void JsonDocument::Init()
{
    Guarded([&] { m_root->value = Json::object(); });
}

bool JsonDocument::Parse(const QString& text)
{
    Init();
    m_root->value = nullptr;
    return Guarded(false, [&] {
        auto parsed = ReadJson(text);
        if (!parsed)
            return false;
        m_root->value = std::move(parsed->value);
        return !m_root->value.is_null();
    });
}

QString JsonDocument::ToText() const
{
    return Guarded(QString(), [&] { return CompactText(m_root->value); });
}

void JsonDocument::SetMember(const QString& key, const QString& value, bool asJson)
{
    Guarded([&] {
        const auto steps = ParsePath(key, false);
        if (key.isEmpty() || !steps)
            return;
        auto item = asJson && value.isEmpty() ? std::optional<ParsedValue>(ParsedValue { Json::object(), 1 })
                                              : ReadValue(value, asJson);
        if (item)
            Assign(m_root->value, *steps, std::move(*item));
    });
}

void JsonDocument::SetMemberJson(const QString& key, const QString& value)
{
    Guarded([&] {
        const auto steps = ParsePath(key, false);
        if (key.isEmpty() || !steps)
            return;
        if (auto item = ReadJson(value))
            Assign(m_root->value, *steps, std::move(*item));
    });
}

void JsonDocument::SetMemberNumber(const QString& key, double number)
{
    Guarded([&] {
        const auto steps = ParsePath(key, false);
        if (key.isEmpty() || !steps || !std::isfinite(number))
            return;
        // Stored as the 13-digit text reads back, so what is stored is what ToText shows.
        const std::string text = FormatG13(number);
        double rounded = 0;
        std::from_chars(text.data(), text.data() + text.size(), rounded);
        Assign(m_root->value, *steps, ParsedValue { Json(rounded), 0 });
    });
}

double JsonDocument::GetNumber(const QString& path) const
{
    return Guarded(0.0, [&] {
        const auto steps = ParsePath(path, false);
        if (path.isEmpty() || !steps)
            return 0.0;
        const Lookup target = Resolve(m_root->value, *steps);
        return target.found == Found::Value && target.value->is_number() ? target.value->get<double>() : 0.0;
    });
}

QString JsonDocument::MemberToText(const QString& key) const
{
    return Guarded(QString(), [&] {
        const auto steps = ParsePath(key, false);
        if (key.isEmpty() || !steps)
            return QString();
        const Lookup target = Resolve(m_root->value, *steps);
        return target.found == Found::Value ? CompactText(*target.value) : QString();
    });
}

QString JsonDocument::GetText(const QString& path, bool asJson) const
{
    return Guarded(QString(), [&] {
        const auto steps = ParsePath(path, true);
        if (path.isEmpty() || !steps)
            return QString();
        const Lookup target = Resolve(m_root->value, *steps);
        if (target.found != Found::Value)
            return QString();
        if (asJson)
            return CompactText(*target.value);
        // A path joined with "." is read as a number when it holds one; one beginning with "["
        // is not, and gets the engine's own number text.
        if (target.value->is_number() && !path.startsWith(u'['))
            return QString::fromStdString(FormatG13(target.value->get<double>()));
        return PlainText(*target.value);
    });
}

JsonDocument JsonDocument::GetObject(const QString& path) const
{
    JsonDocument document;
    document.Parse(GetText(path, true));
    return document;
}

int JsonDocument::Count(const QString& path) const
{
    return Guarded(0, [&] {
        const auto steps = ParsePath(path, true);
        if (!steps)
            return 0;
        const Lookup target = Resolve(m_root->value, *steps);
        if (target.found != Found::Value || !(target.value->is_object() || target.value->is_array()))
            return 0;
        return static_cast<int>(std::min<std::size_t>(target.value->size(), INT_MAX));
    });
}

void JsonDocument::Push(const QString& value, const QString& path, bool asJson)
{
    Guarded([&] {
        const auto steps = ParsePath(path, false);
        if (!steps)
            return;
        auto item = ReadValue(value, asJson);
        if (!item || steps->size() + 1 + item->depth > kMaxDepth)
            return;
        const Lookup target = Resolve(m_root->value, *steps);
        if (target.found == Found::Value && target.value->is_array()) {
            target.value->push_back(std::move(item->value));
            return;
        }
        Json array = Json::array();
        array.push_back(std::move(item->value));
        if (steps->empty())
            m_root->value = std::move(array);
        else
            Assign(m_root->value, *steps, ParsedValue { std::move(array), item->depth + 1 });
    });
}

JsonDocument JsonDocument::GetElementObject(int index, const QString& path) const
{
    JsonDocument document;
    document.Parse(GetElementText(index, path, true));
    return document;
}

QString JsonDocument::GetElementText(int index, const QString& path, bool asJson) const
{
    return Guarded(QString(), [&] {
        auto steps = ParsePath(path, false);
        if (!steps)
            return QString();
        steps->push_back(IndexStep(index));
        const Lookup target = Resolve(m_root->value, *steps);
        if (target.found != Found::Value)
            return QString();
        return asJson ? CompactText(*target.value) : PlainText(*target.value);
    });
}

void JsonDocument::SetElement(int index, const QString& value, bool asJson)
{
    Guarded([&] {
        if (index < 0 || !m_root->value.is_array())
            return;
        if (auto item = ReadValue(value, asJson)) {
            const Step step = IndexStep(index);
            Assign(m_root->value, std::span<const Step>(&step, 1), std::move(*item));
        }
    });
}

void JsonDocument::RemoveElement(int index)
{
    Guarded([&] {
        Json& root = m_root->value;
        if (root.is_array() && index >= 0 && static_cast<std::size_t>(index) < root.size())
            root.erase(static_cast<std::size_t>(index));
    });
}

void JsonDocument::RemoveMember(const QString& key)
{
    Guarded([&] {
        const auto steps = ParsePath(key, false);
        if (key.isEmpty() || !steps)
            return;
        const Lookup parent = Resolve(m_root->value, std::span<const Step>(*steps).first(steps->size() - 1));
        if (parent.found != Found::Value)
            return;
        if (parent.value->is_object()) {
            parent.value->erase(steps->back().name);
        } else if (Json* element = parent.value->is_array() ? Child(*parent.value, steps->back()) : nullptr) {
            *element = nullptr; // deleting an element leaves a hole, which JSON text shows as null
        }
    });
}

void JsonDocument::ResetAs(JsonKind kind)
{
    Guarded([&] {
        if (kind == JsonKind::Null || kind == JsonKind::Object)
            m_root->value = Json::object();
        else if (kind == JsonKind::Array)
            m_root->value = Json::array();
    });
}

void JsonDocument::SetValue(const QString& value, bool asJson)
{
    Guarded([&] {
        if (auto item = ReadValue(value, asJson))
            m_root->value = std::move(item->value);
    });
}

bool JsonDocument::HasMember(const QString& key) const
{
    return Guarded(false, [&] {
        const auto steps = ParsePath(key, false);
        if (key.isEmpty() || !steps)
            return false;
        const Lookup target = Resolve(m_root->value, *steps);
        return target.found == Found::Value && !target.value->is_null();
    });
}

int JsonDocument::MemberNames(QStringList& names, const QString& path) const
{
    names.clear();
    Guarded([&] {
        const auto steps = ParsePath(path, false);
        if (!steps)
            return;
        const Lookup target = Resolve(m_root->value, *steps);
        if (target.found != Found::Value)
            return;
        if (target.value->is_object()) {
            for (const auto& member : target.value->get_ref<const Json::object_t&>())
                names.append(QString::fromStdString(member.first));
        } else if (target.value->is_array()) {
            for (std::size_t i = 0; i < target.value->size(); ++i)
                names.append(QString::number(i));
        }
    });
    return static_cast<int>(names.size());
}

JsonKind JsonDocument::TypeOf(const QString& path) const
{
    return Guarded(JsonKind::Other, [&] {
        const auto steps = ParsePath(path, false);
        if (!steps)
            return JsonKind::Other;
        const Lookup target = Resolve(m_root->value, *steps);
        switch (target.found) {
        case Found::Unevaluable:
            return JsonKind::Other;
        case Found::Absent:
            return JsonKind::Null;
        case Found::Value:
            break;
        }
        return KindOf(*target.value);
    });
}

void JsonDocument::Clear()
{
    Init();
}

} // namespace skysail
