#include "ui/main_window.h"
#include "ui/prompts.h"

#include <QApplication>

#include <curl/curl.h>

int main(int argc, char* argv[])
{
    // Before any thread exists: libcurl's global set-up is not thread-safe.
    curl_global_init(CURL_GLOBAL_ALL);

    QApplication app(argc, argv);
    QApplication::setApplicationName(skysail::kProgramName);

    skysail::WidgetPrompts prompts;
    skysail::MainWindow window(skysail::SettingsFolder(), prompts);
    prompts.SetParent(&window);
    window.show();

    const int code = app.exec();
    curl_global_cleanup();
    return code;
}
