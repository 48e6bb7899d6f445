// Linked into every test by kokugo_add_test.
//
// The offscreen platform the tests run on warns each time a window is raised, sized or grabs the
// keyboard, features it does not have, and without a sound server the multimedia layer warns at
// every player it makes: thousands of lines a run, enough to reach QtTest's limit on warnings
// and hide the ones that matter. Those lines are dropped here, in the tests only; the program's
// own warnings pass.

#include <QCoreApplication>
#include <QTest>

namespace {

QtMessageHandler passOn = nullptr;

bool harmless(const QString &message)
{
    return message == u"This plugin does not support raise()"
        || message == u"This plugin does not support propagateSizeHints()"
        || message == u"This plugin does not support grabbing the keyboard"
        || message == u"No audio device detected";
}

void dropHarmless(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtWarningMsg || !harmless(message))
        passOn(type, context, message);
}

// QtTest puts its own message handler in place when a test run starts and passes nothing on, so
// this one goes in front of it once the first test function is running.
class Installer : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *, QEvent *) override
    {
        if (QTest::currentTestFunction()) {
            passOn = qInstallMessageHandler(dropHarmless);
            QCoreApplication::instance()->removeEventFilter(this);
        }
        return false;
    }
};

void installLater()
{
    QCoreApplication::instance()->installEventFilter(new Installer(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installLater)
