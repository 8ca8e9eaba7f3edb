#include "TestEnvironment.h"
#include "settings/Preferences.h"
#include "views/OnboardingWindowController.h"

#include <QApplication>
#include <QTextStream>

namespace {

class NeverGranted final : public ScreenCapturePermission
{
public:
    bool isGranted() const override { return false; }
};

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment env;
    QApplication app(argc, argv);
    QTextStream out(stdout);

    Preferences prefs(env.configHome() + QStringLiteral("/quillsnap/quillsnap.conf"));
    OnboardingOptions options;
    if (QApplication::arguments().contains(QStringLiteral("--not-granted"))) {
        options.permission = std::make_shared<NeverGranted>();
    }
    options.probe = [&out] { out << "probe" << Qt::endl; };
    options.openSettings = [&out] { out << "openSettings" << Qt::endl; };
    options.openUrl = [&out](const QUrl& url) { out << "open " << url.toString() << Qt::endl; };

    OnboardingWindowController controller(prefs, options);
    QObject::connect(&controller, &OnboardingWindowController::closed, &app,
                     [&out](bool completed) {
                         out << "closed " << (completed ? "completed" : "unfinished") << Qt::endl;
                         QCoreApplication::quit();
                     });
    controller.showWindow();
    return app.exec();
}
