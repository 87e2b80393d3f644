#include "ui/prompts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace skysail {

void WidgetPrompts::Message(const QString& text, PromptIcon icon, const std::optional<QString>& title)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(title.value_or(kProgramName));
    box.setText(text);
    switch (icon) {
    case PromptIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case PromptIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

QStringList WidgetPrompts::OpenFiles(const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileNames(m_parent, title, QString(), filter);
}

QString WidgetPrompts::OpenFile(const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, QString(), filter);
}

void WidgetPrompts::Wait(int milliseconds)
{
    if (milliseconds <= 0) {
        HandleEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void WidgetPrompts::HandleEvents()
{
    QCoreApplication::processEvents();
}

} // namespace skysail
