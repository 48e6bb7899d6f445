#include "exam/windowingstart.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace exam {

namespace {

struct HeldMessage
{
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

// A held copy keeps the context's texts itself: a category's name need not outlive its message.
const char *orNull(const QByteArray &text)
{
    return text.isNull() ? nullptr : text.constData();
}

std::mutex heldMutex;
QtMessageHandler passOn = nullptr;
QByteArray cannotOpenLine;
std::vector<HeldMessage> held;

void releaseHeld()
{
    for (const HeldMessage &message : held) {
        const QMessageLogContext context(orNull(message.file), message.line,
                                         orNull(message.function), orNull(message.category));
        passOn(message.type, context, message.text);
    }
    held.clear();
}

void hold(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const std::lock_guard lock(heldMutex);
    if (type == QtFatalMsg) {
        // The toolkit's words when not one of the windowing systems it tried would open.
        if (message.startsWith(u"This application failed to start because")
            && message.contains(u"Qt platform plugin")) {
            std::fputs(cannotOpenLine.constData(), stderr);
            std::_Exit(1);
        }
        releaseHeld();
        passOn(type, context, message);
        return;
    }
    // The toolkit ends the program after a warning or critical message itself where these ask
    // it to: such a message goes out at once, or it would be lost.
    if ((type == QtWarningMsg && qEnvironmentVariableIsSet("QT_FATAL_WARNINGS"))
        || (type == QtCriticalMsg
            && (qEnvironmentVariableIsSet("QT_FATAL_WARNINGS")
                || qEnvironmentVariableIsSet("QT_FATAL_CRITICALS")))) {
        releaseHeld();
        passOn(type, context, message);
        return;
    }
    held.push_back({type, QByteArray(context.file), context.line, QByteArray(context.function),
                    QByteArray(context.category), message});
}

} // namespace

WindowingStart::WindowingStart(const QByteArray &cannotOpen)
{
    const std::lock_guard lock(heldMutex);
    cannotOpenLine = cannotOpen;
    passOn = qInstallMessageHandler(hold);
}

WindowingStart::~WindowingStart()
{
    qInstallMessageHandler(passOn);
    const std::lock_guard lock(heldMutex);
    releaseHeld();
}

} // namespace exam
