// Shows the key sequence recorder for a look under a real X server (not a
// test); prints the saved sequence.
//   recorder_demo [--recording | --recorded]    the state to open it in
#include "hotkeys/HotkeyRecorderWindow.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QByteArray state = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    HotkeyRecorderWindow window(5, 2000, [](const KeySequence& sequence) {
        QTextStream(stdout) << sequence.displayString() << Qt::endl;
    });
    QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
    window.present();
    if (state == "--recording" || state == "--recorded") {
        using Type = HotkeyBackend::EventType;
        constexpr quint32 cmd = CarbonModifier::Command;
        window.startRecording();
        window.handleRecordingEvent(Type::keyDown, 40, cmd);
        window.handleRecordingEvent(Type::keyDown, 8, cmd);
        if (state == "--recorded") {
            window.stopRecording();
        }
    }
    return app.exec();
}
