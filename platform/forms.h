#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// The program's windows. Each exists at most once per run: it is built from its design the first
// time it is shown, shown modeless and without an owner, and destroyed when it is closed or
// unloaded, so that showing it again builds it afresh. The program ends with its last window.
namespace platform::forms {

using Factory = std::function<QWidget *()>;

void define(const QString &name, Factory factory);

// Shows the window, building and centring it first if it is not open, and brings it to the front.
QWidget *show(const QString &name);

// The open instance, or nullptr. A window that is closing no longer counts as open.
QWidget *instance(const QString &name);

// Closes and destroys the window; a window that is not open is left alone, not built first.
void unload(const QString &name);

} // namespace platform::forms
