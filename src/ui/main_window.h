#pragma once

#include "settings/kinds.h"
#include "settings/settings_folder.h"

#include <QMainWindow>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;

namespace skysail {

class Prompts;

// The main window. Its controls carry their form names as object names, so the rest of the
// program and the tests find them by name.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(SettingsFolder folder, Prompts& prompts, QWidget* parent = nullptr);

    QRadioButton* HostButton(HostKind host) const;
    QRadioButton* FormatButton(LinkFormat format) const;

private:
    void BuildControls();
    // The start-up step: settings folder, the saved choices, the watermark caption. Shows the
    // defaults (Sinaimg, plain links) without writing them.
    void LoadStartupSettings();

    SettingsFolder m_folder;
    Prompts& m_prompts;
    QRadioButton* m_hostButtons[3] = {};
    QRadioButton* m_formatButtons[3] = {};
    QButtonGroup* m_hostGroup = nullptr;
    QButtonGroup* m_formatGroup = nullptr;
    QPushButton* m_watermarkButton = nullptr;
    QLabel* m_preview = nullptr;
};

} // namespace skysail
