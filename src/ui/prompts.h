#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace skysail {

// Message-box icons, by the codes the windows use.
enum class PromptIcon
{
    None = 0,
    Error = 16,
    Information = 64,
};

// Everything that would block on the user or on time: message boxes, open dialogs and waits
// that keep events running. Windows take one of these, so tests answer at once instead of
// sitting in a modal loop.
class Prompts
{
public:
    virtual ~Prompts() = default;

    // Returns when dismissed. Without a title the box carries the program's name.
    virtual void Message(
        const QString& text, PromptIcon icon = PromptIcon::None, const std::optional<QString>& title = std::nullopt)
        = 0;
    // Multi-select open dialog; the chosen paths, or none when cancelled.
    virtual QStringList OpenFiles(const QString& title, const QString& filter) = 0;
    // Single-file open dialog; the chosen path, or empty when cancelled.
    virtual QString OpenFile(const QString& title, const QString& filter) = 0;
    // Returns after that many milliseconds; events keep being handled meanwhile.
    virtual void Wait(int milliseconds) = 0;
    // Runs the pending events, then returns.
    virtual void HandleEvents() = 0;
};

// The real prompts: QMessageBox, QFileDialog and a local event loop.
class WidgetPrompts final : public Prompts
{
public:
    explicit WidgetPrompts(QWidget* parent = nullptr)
        : m_parent(parent)
    { }

    void SetParent(QWidget* parent) { m_parent = parent; }

    void Message(const QString& text, PromptIcon icon = PromptIcon::None,
        const std::optional<QString>& title = std::nullopt) override;
    QStringList OpenFiles(const QString& title, const QString& filter) override;
    QString OpenFile(const QString& title, const QString& filter) override;
    void Wait(int milliseconds) override;
    void HandleEvents() override;

private:
    QWidget* m_parent;
};

inline const QString kProgramName = QStringLiteral("云帆快贴");

} // namespace skysail
