#include "ui/main_window.h"

#include "services/image_prep.h"
#include "settings/settings_keys.h"
#include "settings/startup_settings.h"
#include "ui/prompts.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace skysail {

namespace {

constexpr int kWidth = 798;
constexpr int kHeight = 471;

QString HostButtonName(HostKind host)
{
    switch (host) {
    case HostKind::Sinaimg:
        return QStringLiteral("单选框_偷揉图床");
    case HostKind::SM:
        return QStringLiteral("单选框_SM");
    case HostKind::Upload:
        return QStringLiteral("单选框_Upload");
    }
    return {};
}

// The radio labels: Sinaimg and Upload by name, SM by its domain name.
QString HostLabel(HostKind host)
{
    switch (host) {
    case HostKind::Sinaimg:
        return QStringLiteral("Sinaimg");
    case HostKind::SM:
        return HostKey(HostKind::SM);
    case HostKind::Upload:
        return QStringLiteral("Upload");
    }
    return {};
}

QString FormatButtonName(LinkFormat format)
{
    switch (format) {
    case LinkFormat::Plain:
        return QStringLiteral("单选框_纯链接");
    case LinkFormat::Html:
        return QStringLiteral("单选框_HTML");
    case LinkFormat::Ubb:
        return QStringLiteral("单选框_UBB");
    }
    return {};
}

QString WatermarkCaption(bool on)
{
    return on ? QStringLiteral("水印[√]") : QStringLiteral("水印[×]");
}

} // namespace

MainWindow::MainWindow(SettingsFolder folder, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent)
    , m_folder(std::move(folder))
    , m_prompts(prompts)
{
    setWindowTitle(kProgramName);
    setFixedSize(kWidth, kHeight);
    BuildControls();
    LoadStartupSettings();
}

QRadioButton* MainWindow::HostButton(HostKind host) const
{
    return m_hostButtons[static_cast<size_t>(host)];
}

QRadioButton* MainWindow::FormatButton(LinkFormat format) const
{
    return m_formatButtons[static_cast<size_t>(format)];
}

void MainWindow::BuildControls()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* heading = new QLabel(QStringLiteral("云帆快贴 v1.2"), central);
    layout->addWidget(heading);

    auto* hostBox = new QGroupBox(central);
    auto* hostLayout = new QHBoxLayout(hostBox);
    m_hostGroup = new QButtonGroup(this);
    for (HostKind host : kAllHosts) {
        auto* button = new QRadioButton(HostLabel(host), hostBox);
        button->setObjectName(HostButtonName(host));
        hostLayout->addWidget(button);
        m_hostGroup->addButton(button);
        m_hostButtons[static_cast<size_t>(host)] = button;
    }
    layout->addWidget(hostBox);

    auto* formatBox = new QGroupBox(central);
    auto* formatLayout = new QHBoxLayout(formatBox);
    m_formatGroup = new QButtonGroup(this);
    for (LinkFormat format : kAllFormats) {
        auto* button = new QRadioButton(FormatKey(format), formatBox);
        button->setObjectName(FormatButtonName(format));
        formatLayout->addWidget(button);
        m_formatGroup->addButton(button);
        m_formatButtons[static_cast<size_t>(format)] = button;
    }
    layout->addWidget(formatBox);

    m_watermarkButton = new QPushButton(WatermarkCaption(false), central);
    m_watermarkButton->setObjectName(QStringLiteral("超级按钮_水印"));
    layout->addWidget(m_watermarkButton);

    m_preview = new QLabel(central);
    m_preview->setObjectName(QStringLiteral("图片框_预览图"));
    layout->addWidget(m_preview);
    layout->addStretch();

    setCentralWidget(central);
}

void MainWindow::LoadStartupSettings()
{
    const StartupSettings settings = ReadStartupSettings(m_folder);
    m_preview->hide();
    setAcceptDrops(true);

    for (HostKind host : kAllHosts)
        HostButton(host)->setChecked(settings.HostOn(host));
    for (LinkFormat format : kAllFormats)
        FormatButton(format)->setChecked(settings.FormatOn(format));
    m_watermarkButton->setText(WatermarkCaption(IsOn(settings.watermarkSwitch)));
    if (settings.watermarkPicture.isEmpty())
        EnsureDefaultWatermark(m_folder);

    if (!m_hostGroup->checkedButton())
        HostButton(HostKind::Sinaimg)->setChecked(true);
    if (!m_formatGroup->checkedButton())
        FormatButton(LinkFormat::Plain)->setChecked(true);
}

} // namespace skysail
