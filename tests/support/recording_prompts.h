#pragma once

#include "ui/prompts.h"

#include <QList>
#include <QStringList>

namespace skysail::test {

// Prompts that never block: records every question and answers at once with what the test
// queued (no files, by default).
class RecordingPrompts final : public Prompts
{
public:
    struct Shown
    {
        QString text;
        PromptIcon icon;
        std::optional<QString> title;
    };

    void Message(const QString& text, PromptIcon icon, const std::optional<QString>& title) override
    {
        messages.append({ text, icon, title });
    }
    QStringList OpenFiles(const QString& title, const QString&) override
    {
        dialogs.append(title);
        return nextFiles.isEmpty() ? QStringList() : nextFiles.takeFirst();
    }
    QString OpenFile(const QString& title, const QString& filter) override
    {
        const QStringList files = OpenFiles(title, filter);
        return files.isEmpty() ? QString() : files.first();
    }
    void Wait(int milliseconds) override { waits.append(milliseconds); }
    void HandleEvents() override { ++eventRuns; }

    QList<Shown> messages;
    QStringList dialogs;
    QList<QStringList> nextFiles;
    QList<int> waits;
    int eventRuns = 0;
};

} // namespace skysail::test
