#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace skysail {

// The kind code TypeOf returns and ResetAs takes. Any int converts to it (ResetAs(JsonKind(3))
// is a valid call that changes nothing); 1 and 3 are never produced.
enum class JsonKind : int
{
    Other = -1, // true, false, or a path that cannot be evaluated
    Null = 0, // null, or no such member or element
    Number = 2,
    Object = 4,
    Array = 5,
    String = 6,
};

// One JSON value, the root, read and changed by member path ("data.url",
// "['success_image'][0].url"). Copies are handles to the same root; GetObject and
// GetElementObject return documents with a root of their own.
//
// Nothing here throws or reports errors: a read that finds nothing, or whose path cannot be
// evaluated, gives the empty result of its type, and a change that cannot be made leaves the
// root as it was. A document is not shared between threads.
//
// Paths: GetText, GetObject and Count also take a path that begins with "[" (joined straight
// to the root); every other operation needs a path that begins with a member name. An empty
// path means the root for Count, Push, GetElementObject, GetElementText, MemberNames and
// TypeOf, and names nothing for the rest.
class JsonDocument
{
public:
    JsonDocument(); // runs Init
    JsonDocument(const JsonDocument& other) = default;
    JsonDocument& operator=(const JsonDocument& other) = default;
    ~JsonDocument();

    // root := empty object.
    void Init();
    // Loads one strict JSON value; true when the root is then not null. On failure the root is null.
    bool Parse(const QString& text);
    // Compact JSON text of the root.
    QString ToText() const;
    // root.key := value, a JSON string, or with asJson the value of the JSON text (an empty
    // text standing for an empty object).
    void SetMember(const QString& key, const QString& value, bool asJson = false);
    void SetMemberJson(const QString& key, const QString& value);
    // root.key := number rounded to 13 significant digits; non-finite numbers change nothing.
    void SetMemberNumber(const QString& key, double number);
    // The number at the path, 0 when there is none (strings are not converted).
    double GetNumber(const QString& path) const;
    QString MemberToText(const QString& key) const;
    // A number as "%.13g"; a string unchanged; with asJson the compact JSON text of the value.
    QString GetText(const QString& path, bool asJson = false) const;
    JsonDocument GetObject(const QString& path) const;
    // Members of the object, or elements of the array, at the path; 0 for anything else.
    int Count(const QString& path) const;
    // Makes the value at the path an array unless it is one, then appends value.
    void Push(const QString& value, const QString& path, bool asJson = false);
    JsonDocument GetElementObject(int index, const QString& path) const;
    QString GetElementText(int index, const QString& path, bool asJson = false) const;
    // root[index] := value when the root is an array (an index past the end pads with nulls).
    void SetElement(int index, const QString& value, bool asJson = false);
    void RemoveElement(int index);
    void RemoveMember(const QString& key);
    void ResetAs(JsonKind kind);
    void SetValue(const QString& value, bool asJson = false);
    bool HasMember(const QString& key) const;
    // names := member names in the object's order (an array's indexes); returns how many.
    int MemberNames(QStringList& names, const QString& path) const;
    JsonKind TypeOf(const QString& path) const;
    void Clear();

private:
    // No move operations on purpose: a moved-from handle must still hold a root.
    struct Root;
    std::shared_ptr<Root> m_root;
};

} // namespace skysail
